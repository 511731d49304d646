// The file side of the private-profile functions, one implementation per platform: finding
// whether a file changed, reading it whole, holding the writers' exclusive lock, and
// replacing it atomically. The parsing, matching and editing above it (profile.cpp,
// profile_document.h) are the same on every platform. Used only by profile.cpp.
//
// Every function that fails sets the calling thread's last error (2 missing file, 3 missing
// folder, 5 access denied or a folder in place of the file, other file errors as they come).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tunewell/wstring.h"

namespace platform {

// What identifies one version of a file. Writers always replace a file by a new one, so a
// changed file shows a new identity (inode, or file index), size or time.
struct ProfileStamp {
  std::uint64_t volume = 0;
  std::uint64_t identity = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  std::int64_t changed = 0;
  bool operator==(const ProfileStamp&) const = default;
};

// The stamp of the file a path names now; false when it cannot be found.
bool StampProfilePath(const WString& path, ProfileStamp& stamp);

// How long after its last change a file's stamp proves that it is unchanged. File systems stamp
// a change with a coarse clock (a tick of 1 to 16 ms), so a program that rewrites a file in
// place twice within one tick, to the same size, leaves the same stamp: a version read within
// that tick may be gone although the stamp says it is there. A version read this long after
// its change is the one its stamp names.
inline constexpr std::int64_t kStampSettledAfterMs = 100;

// True when the stamp's change is at least kStampSettledAfterMs old now (or in the future:
// never). Ask before reading the bytes that the stamp is to stand for.
bool StampIsSettled(const ProfileStamp& stamp);

// The longest a writer waits for another's lock before it gives up (32, the sharing
// violation): a lock held for ever must not hold the caller for ever.
inline constexpr std::uint32_t kProfileLockWaitMs = 3000;
// How often a writer waiting for the lock asks its caller whether to give up.
inline constexpr std::uint32_t kProfileGiveUpCheckMs = 100;

class ProfileFile {
 public:
  // The file, open for reading with no lock: writers replace files whole, so a reader always
  // sees one whole version. Null when it cannot be opened (a folder gives 5).
  static std::unique_ptr<ProfileFile> OpenForRead(const WString& path);
  // The file, open and holding the writers' exclusive lock, which is taken on the very file
  // the path names (a writer before may have replaced the file that was opened), waiting at
  // most kProfileLockWaitMs for it (then null and 32). While it waits, giveUp (when given) is
  // asked every kProfileGiveUpCheckMs; true ends the wait (null and 1223): a caller that has
  // been told to stop does not sit out another's lock. With create the file is made when
  // missing (not its folder: 3); without it a missing file gives null and error 2.
  static std::unique_ptr<ProfileFile> OpenLocked(const WString& path, bool create,
                                                 const std::function<bool()>& giveUp = nullptr);

  ~ProfileFile();
  ProfileFile(const ProfileFile&) = delete;
  ProfileFile& operator=(const ProfileFile&) = delete;

  const ProfileStamp& Stamp() const { return stamp_; }
  // The file's bytes from its start.
  bool ReadAll(std::string& bytes);
  // Writes runs to a new file beside this one and puts it in place of this one in one step;
  // *replaced is the new file's stamp. A writer that dies at any moment leaves the old file or
  // the new one, whole. The lock must be held.
  bool Replace(const std::vector<std::string_view>& runs, ProfileStamp& replaced);

 private:
  struct Impl;
  explicit ProfileFile(std::unique_ptr<Impl> impl, const ProfileStamp& stamp);
  std::unique_ptr<Impl> impl_;
  ProfileStamp stamp_;
};

}  // namespace platform
