// The log files the user names for the plug-in, opened so that nobody else who can write in
// their folders can steer them: the parent log is opened once, at the start, with the checks
// made on the open file (a regular file, no FIFO or device, not the kernel's own settings under
// /proc or /sys, no link another user made to a file that is not theirs), and the plug-in is
// given a name that reaches exactly that file when it merges at the end; the log folder's
// write check makes a file nobody could have foreseen. (Backends: os/posix/, os/windows/.)
// One thread.
#pragma once

#include <string>

namespace host {

class ParentLogFile {
 public:
  ParentLogFile() = default;
  ~ParentLogFile();
  ParentLogFile(const ParentLogFile&) = delete;
  ParentLogFile& operator=(const ParentLogFile&) = delete;

  // Opens (makes when missing) the file for appending. False with the reason.
  bool Open(const std::string& path, std::string& error);
  // The name to give the plug-in as "ParentLogfilePath": on POSIX the open file itself
  // (/proc/self/fd/N), so that a link or file swapped in under the path meanwhile is not what
  // the plug-in writes to; on Windows the path.
  std::string NameForPlugin() const;

 private:
  int fd_ = -1;
  std::string path_;
};

// Whether a file can be written in the folder (tried with a new file of a random name, removed
// at once): the plug-in gives no word when its log cannot be written.
bool FolderTakesWrites(const std::string& folder);

}  // namespace host
