// What tells one file from another, and one version of a file from the next: taken when a file
// is read and compared just before it is written, so that a change made meanwhile by another
// program (a tag saved, lyrics added, another file renamed onto the name, the file deleted) is
// never overwritten. Backend in os/posix/. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace host {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // content changed
  std::int64_t changedNs = 0;   // content or metadata changed; no program can set it back

  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs && changedNs == other.changedNs;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file the path names, through symbolic links. False with the reason when
// it cannot be looked at.
bool IdentifyFile(const std::string& path, FileIdentity& identity, std::string& error);

// True when the path still names the file as it was read (false when it is gone).
bool StillAsRead(const std::string& path, const FileIdentity& asRead);

// The report for a file found changed (or gone) between its reading and its writing; the next
// run picks the file up again.
inline constexpr const char* kChangedDuringRun = "changed during the run";

}  // namespace host
