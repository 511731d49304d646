// The POSIX backend of the file replacement: a copy made beside the file under a random name,
// the original's metadata, fsync, an exchange of the two names; or, where the copy cannot be
// the original's equal, a write in place behind a backup. Every step relative to the folder
// held open, each recorded in the run's journal first.
#include "tags/store/file_replacement.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "tags/store/posix/file_io.h"
#include "tags/store/posix/file_metadata.h"
#include "tags/store/posix/in_place_write.h"
#include "os/posix/random_name.h"
#include "os/posix/safe_open.h"
#include "tags/store/posix/located_file.h"

namespace host {
namespace {

// The original's name is cut so that a copy's name stays within NAME_MAX.
constexpr std::size_t kMaxNamePart = 150;

std::string CopyPrefix(const std::string& name) {
  return "." + name.substr(0, kMaxNamePart) + ".tunewell-";
}

std::string SelfPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool InGroup(uid_t user, gid_t group) {
  const passwd* account = getpwuid(user);
  if (account == nullptr) return false;
  std::vector<gid_t> groups(64);
  int count = static_cast<int>(groups.size());
  if (getgrouplist(account->pw_name, account->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (getgrouplist(account->pw_name, account->pw_gid, groups.data(), &count) < 0) return false;
  }
  for (int i = 0; i < count; ++i) {
    if (groups[static_cast<std::size_t>(i)] == group) return true;
  }
  return false;
}

// Whether the file's owner could make and rename files in the folder: root writes only where
// the owner of what it writes could have.
bool OwnerCanWriteIn(const struct stat& file, const struct stat& folder) {
  constexpr mode_t kUser = S_IWUSR | S_IXUSR, kGroup = S_IWGRP | S_IXGRP,
                   kOther = S_IWOTH | S_IXOTH;
  if (file.st_uid == 0) return true;
  if (folder.st_uid == file.st_uid) return (folder.st_mode & kUser) == kUser;
  if (folder.st_gid == file.st_gid || InGroup(file.st_uid, folder.st_gid)) {
    return (folder.st_mode & kGroup) == kGroup;
  }
  return (folder.st_mode & kOther) == kOther;
}

std::string WhyNotWritable(const OpenedFile& opened) {
  // access() also says no to root for an immutable file or a read-only mount.
  if (access(SelfPath(opened.file.Get()).c_str(), W_OK) != 0) {
    return "read-only file (" + ErrnoText(errno) + ")";
  }
  // Root may write anything; a file its owner made read-only stays so whoever runs the tool.
  if (geteuid() == 0 && (opened.info.st_mode & S_IWUSR) == 0) return "read-only file (mode)";
  if (access(SelfPath(opened.folder.Get()).c_str(), W_OK | X_OK) != 0) {
    return "folder not writable (" + ErrnoText(errno) + ")";
  }
  struct stat folder {};
  if (fstat(opened.folder.Get(), &folder) != 0) return "cannot look at the folder";
  if (geteuid() == 0 && !OwnerCanWriteIn(opened.info, folder)) {
    return "folder not writable by the file's owner";
  }
  return {};
}

std::string Number(std::uint64_t n) { return std::to_string(n); }
std::string Number(std::int64_t n) { return std::to_string(n); }

// The change's first record: where, and the file as read.
JournalRecord ChangeRecord(const OpenedFile& opened, const FileIdentity& asRead) {
  struct stat folder {};
  fstat(opened.folder.Get(), &folder);
  return {"change",
          opened.folderPath,
          Number(static_cast<std::uint64_t>(folder.st_dev)),
          Number(static_cast<std::uint64_t>(folder.st_ino)),
          opened.name,
          Number(asRead.device),
          Number(asRead.inode),
          Number(asRead.size),
          Number(asRead.modifiedNs),
          Number(asRead.changedNs)};
}

struct Copy {
  std::string name;
  UniqueFd fd;
};

// A copy of the original beside it, its name recorded before it is made and its identity
// after, so that a later run removes exactly this file and nothing planted in its place.
bool MakeCopy(const OpenedFile& opened, JournalEntry& entry, Copy& copy, std::string& error) {
  if (!RoomFor(opened.folder.Get(), static_cast<std::uint64_t>(opened.info.st_size))) {
    error = "not enough free space for a copy beside the file";
    return false;
  }
  copy.name = CopyPrefix(opened.name) + RandomNamePart();
  if (!entry.Add({"copy", copy.name}, error)) return false;
  copy.fd.Reset(openat(opened.folder.Get(), copy.name.c_str(),
                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600));
  struct stat made {};
  if (!copy.fd.Valid() || fstat(copy.fd.Get(), &made) != 0) {
    error = "cannot make a copy in the folder: " + ErrnoText(errno);
    copy.name.clear();
    return false;
  }
  if (!entry.Add({"copy-made", Number(static_cast<std::uint64_t>(made.st_dev)),
                  Number(static_cast<std::uint64_t>(made.st_ino))},
                 error)) {
    return false;
  }
  if (lseek(opened.file.Get(), 0, SEEK_SET) != 0 || !CopyAll(opened.file.Get(), copy.fd.Get())) {
    error = "cannot make a copy in the folder: " + ErrnoText(errno);
    return false;
  }
  return true;
}

// Two runs tagging one file at once both read it before either writes: the one that puts its
// copy in place second must see the first one's, and the check just before is not enough when
// they run in step. A lock on the original across that check and the exchange makes them take
// turns (other programs take no such lock: for them the check after the exchange is the last
// word).
bool TakeTurn(int fd) {
  constexpr int kTries = 250;  // 5 s: a run holds it for an exchange or an in-place write
  for (int i = 0; i < kTries; ++i) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    usleep(20000);
  }
  return false;
}

bool StillAsRead(const OpenedFile& opened, const FileIdentity& asRead) {
  struct stat open {}, named {};
  return fstat(opened.file.Get(), &open) == 0 && IdentityOf(open) == asRead &&
         fstatat(opened.folder.Get(), opened.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         IdentityOf(named) == asRead;
}

// The content unchanged since it was read (a rename changes the change time, not these).
bool ContentAsRead(int fd, const FileIdentity& asRead) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  const FileIdentity now = IdentityOf(info);
  return now.size == asRead.size && now.modifiedNs == asRead.modifiedNs;
}

// The copy takes the original's name in one step. The original, now under the copy's name, is
// looked at once more: another program that wrote it just before gets its version back.
bool ExchangeNames(const OpenedFile& opened, const Copy& copy, const FileIdentity& asRead,
                   bool& placed, std::string& error) {
  const int folder = opened.folder.Get();
  if (renameat2(folder, copy.name.c_str(), folder, opened.name.c_str(), RENAME_EXCHANGE) != 0) {
    // A file system without exchange: the plain rename, the check before it the last word.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
      error = "cannot replace the file: " + ErrnoText(errno);
      return false;
    }
    if (renameat(folder, copy.name.c_str(), folder, opened.name.c_str()) != 0) {
      error = "cannot replace the file: " + ErrnoText(errno);
      return false;
    }
    placed = true;
    return true;
  }
  placed = true;
  if (!ContentAsRead(opened.file.Get(), asRead)) {
    if (renameat2(folder, copy.name.c_str(), folder, opened.name.c_str(), RENAME_EXCHANGE) == 0) {
      placed = false;
      error = kChangedDuringRun;
    } else {
      error = std::string(kChangedDuringRun) + "; the other program's version is kept as " +
              opened.folderPath + "/" + copy.name;
    }
    return false;
  }
  unlinkat(folder, copy.name.c_str(), 0);  // the original's old content
  return true;
}

// Puts the edited copy in the file's place: exchanged with it when it can be dressed as the
// original, else written into it in place.
bool PlaceCopy(const RunJournal& journal, JournalEntry& entry, OpenedFile& opened,
               const Copy& copy, const FileIdentity& asRead, bool& placed, std::string& error) {
  // A copy put in the place of one name would split the file from its other names.
  if (opened.info.st_nlink > 1 ||
      !CarryMetadata(opened.file.Get(), copy.fd.Get(), opened.info)) {
    opened.file.Reset();  // a lease wants no other descriptor of this run's open on the file
    return WriteInPlace(journal, entry, opened.folder.Get(), opened.name, asRead, copy.fd.Get(),
                        error);
  }
  if (!SyncToDisk(copy.fd.Get())) {
    error = "cannot flush the copy to disk: " + ErrnoText(errno);
    return false;
  }
  if (!TakeTurn(opened.file.Get())) {
    error = "another program holds a lock on the file";
    return false;
  }
  if (!StillAsRead(opened, asRead)) {
    error = kChangedDuringRun;
    return false;
  }
  const bool exchanged = ExchangeNames(opened, copy, asRead, placed, error);
  SyncToDisk(opened.folder.Get());
  return exchanged;
}

}  // namespace

std::string WhyNotReplaceable(const FileLocation& where) {
  OpenedFile opened;
  std::string error;
  if (!OpenLocatedFile(where, opened, error)) return error;
  return WhyNotWritable(opened);
}

bool ReplaceThroughCopy(const RunJournal& journal, const FileLocation& where,
                        const FileIdentity& asRead, const EditCopy& edit, std::string& error) {
  OpenedFile opened;
  if (!OpenLocatedFile(where, opened, error)) {
    if (error.starts_with("cannot open the file: ")) error = kChangedDuringRun;  // gone since
    return false;
  }
  if (IdentityOf(opened.info) != asRead) {
    error = kChangedDuringRun;  // another program's version: it stays as it is
    return false;
  }
  error = WhyNotWritable(opened);
  if (!error.empty()) return false;
  JournalEntry entry;
  if (!entry.Begin(journal, ChangeRecord(opened, asRead), error)) return false;
  Copy copy;
  bool ok = MakeCopy(opened, entry, copy, error) && edit(copy.fd.Get(), error);
  bool placed = false;  // the copy is the file now
  if (ok) ok = PlaceCopy(journal, entry, opened, copy, asRead, placed, error);
  // A write in place that could not be undone keeps its copy: the next run needs it to tell
  // what the file holds.
  if (!placed && !entry.Kept() && !copy.name.empty()) {
    unlinkat(opened.folder.Get(), copy.name.c_str(), 0);
  }
  entry.End();
  return ok;
}

}  // namespace host
