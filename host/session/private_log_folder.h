// The folder of a run's own for the plug-in's trace log when the user names none: the host reads
// the warnings of failed downloads back from it (session/download_trouble.h). Made under the
// temporary folder, named after the process and a random part ("tunewell-log-PID-RANDOM"),
// readable by the user alone, removed when the run ends; a folder of this user's left by a run
// that was killed is removed by the next one.
// One thread.
#pragma once

#include <filesystem>

namespace host {

class PrivateLogFolder {
 public:
  PrivateLogFolder() = default;
  ~PrivateLogFolder() { Remove(); }
  PrivateLogFolder(const PrivateLogFolder&) = delete;
  PrivateLogFolder& operator=(const PrivateLogFolder&) = delete;

  // Makes the folder, after removing those of runs that have ended. False when none can be
  // made (no temporary folder, no room): the run goes on without.
  bool Make();
  const std::filesystem::path& Path() const { return path_; }
  // Removes the folder and what is in it; nothing when none was made.
  void Remove();
  // Forgets the folder without removing it: the plug-in may still write there.
  void Keep() { path_.clear(); }

 private:
  std::filesystem::path path_;
};

}  // namespace host
