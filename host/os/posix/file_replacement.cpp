// The POSIX backend of the file replacement: a copy by mkstemp, the original's metadata, fsync,
// rename; or, where the copy cannot be the original's equal, a write in place behind a backup.
#include "os/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "os/posix/file_io.h"
#include "os/posix/file_metadata.h"
#include "os/posix/in_place_write.h"
#include "os/posix/temporary_names.h"
#include "os/processes.h"

namespace host {
namespace {

// The file a path names, through any symbolic links, so that a link stays a link.
bool RealPath(const std::string& path, std::string& real, std::string& error) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), std::free);
  if (!resolved) {
    error = ErrnoText(errno);
    return false;
  }
  real = resolved.get();
  return true;
}

// A copy of the original beside it, under a temporary name; false with the step that failed.
bool CopyOriginal(const std::string& real, std::string& copy, std::string& error) {
  const int from = open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (from < 0) {
    error = "cannot read the file: " + ErrnoText(errno);
    return false;
  }
  const int to = MakeTemporaryFile(FolderOf(real), NameOf(real), copy);
  bool ok = to >= 0 && CopyAll(from, to);
  if (!ok) error = "cannot make a copy in the folder: " + ErrnoText(errno);
  close(from);
  if (to >= 0 && close(to) != 0 && ok) {
    error = "cannot make a copy in the folder: " + ErrnoText(errno);
    ok = false;
  }
  if (!ok && to >= 0) unlink(copy.c_str());
  return ok;
}

enum class Dressed { Ready, NotTheOriginalsEqual, Failed };

// The edited copy flushed and dressed as the original.
Dressed DressCopy(const std::string& copy, const std::string& real, const struct stat& original,
                  std::string& error) {
  const int fd = open(copy.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  const int originalFd = open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  Dressed result = Dressed::Ready;
  if (fd < 0 || originalFd < 0) {
    error = "cannot open the copy: " + ErrnoText(errno);
    result = Dressed::Failed;
  } else if (!CarryMetadata(originalFd, fd, original)) {
    result = Dressed::NotTheOriginalsEqual;
  } else if (!SyncToDisk(fd)) {
    error = "cannot flush the copy to disk: " + ErrnoText(errno);
    result = Dressed::Failed;
  }
  if (originalFd >= 0) close(originalFd);
  if (fd >= 0) close(fd);
  return result;
}

// Two runs tagging one file at once both read it before either writes: the one that puts its
// copy in place second must see the first one's, and the check just before is not enough when
// they run in step. A lock on the original across that check and the placing makes them take
// turns. (Other programs take no such lock: for them the check is as close as it gets.)
class TurnOnFile {
 public:
  explicit TurnOnFile(const std::string& real)
      : fd_(open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) {
    constexpr int kTries = 250;  // 5 s: a run holds it for a rename or an in-place write
    for (int i = 0; fd_ >= 0 && !held_ && i < kTries; ++i) {
      held_ = flock(fd_, LOCK_EX | LOCK_NB) == 0;
      if (!held_) usleep(20000);
    }
  }
  ~TurnOnFile() {
    if (fd_ >= 0) close(fd_);  // the lock goes with it
  }
  TurnOnFile(const TurnOnFile&) = delete;
  TurnOnFile& operator=(const TurnOnFile&) = delete;

  bool Held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

// Puts the edited copy in the file's place: renamed over it when it can be dressed as the
// original, else written into it in place.
bool PlaceCopy(const std::string& copy, const std::string& real, const struct stat& original,
               const FileIdentity& asRead, bool& renamed, std::string& error) {
  const TurnOnFile turn(real);
  if (!turn.Held()) {
    error = "another program holds a lock on the file";
    return false;
  }
  // A copy renamed over one name would split the file from its other names.
  const Dressed dressed = original.st_nlink > 1 ? Dressed::NotTheOriginalsEqual
                                                : DressCopy(copy, real, original, error);
  if (dressed == Dressed::NotTheOriginalsEqual) return WriteInPlace(real, copy, asRead, error);
  if (dressed == Dressed::Failed) return false;
  if (!StillAsRead(real, asRead)) {
    error = kChangedDuringRun;
    return false;
  }
  if (rename(copy.c_str(), real.c_str()) != 0) {
    error = "cannot replace the file: " + ErrnoText(errno);
    return false;
  }
  SyncFolder(FolderOf(real));
  renamed = true;
  return true;
}

}  // namespace

std::string WhyNotReplaceable(const std::string& path) {
  std::string real, error;
  if (!RealPath(path, real, error)) return error;
  struct stat info {};
  if (stat(real.c_str(), &info) != 0) return ErrnoText(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  // access() also says no to root for an immutable file or a read-only mount.
  if (access(real.c_str(), W_OK) != 0) return "read-only file (" + ErrnoText(errno) + ")";
  // Root may write anything; a file its owner made read-only stays so whoever runs the tool.
  if (geteuid() == 0 && (info.st_mode & S_IWUSR) == 0) return "read-only file (mode)";
  if (access(FolderOf(real).c_str(), W_OK | X_OK) != 0) {
    return "folder not writable (" + ErrnoText(errno) + ")";
  }
  return {};
}

bool ReplaceThroughCopy(const std::string& path, const FileIdentity& asRead, const EditCopy& edit,
                        std::string& error) {
  std::string real;
  struct stat original {};
  if (!RealPath(path, real, error) || stat(real.c_str(), &original) != 0 ||
      IdentityOf(original) != asRead) {
    error = kChangedDuringRun;  // gone, or another program's version: it stays as it is
    return false;
  }
  std::string copy;
  if (!CopyOriginal(real, copy, error)) return false;
  bool ok = edit(copy, error);
  bool renamed = false;  // the copy is the file now
  if (ok) ok = PlaceCopy(copy, real, original, asRead, renamed, error);
  if (!renamed) unlink(copy.c_str());
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& content, std::string& error) {
  // As a new file would be made: 0666 less the umask (mkstemp's copy has 0600).
  const mode_t mask = umask(0);
  umask(mask);
  const bool written = WriteThroughTemporary(path, [&](int fd) {
    return WriteAll(fd, content.data(), content.size()) && fchmod(fd, 0666 & ~mask) == 0;
  });
  if (!written) error = "cannot write " + NameOf(path) + ": " + ErrnoText(errno);
  return written;
}

int RecoverEarlierRuns(const std::string& folder) {
  int cleared = RestoreInterruptedWrites(folder);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return cleared;
  while (const dirent* entry = readdir(dir)) {
    const long pid = ProcessOfTemporaryName(entry->d_name);
    if (pid == 0 || ProcessIsRunning(pid)) continue;
    if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) ++cleared;
  }
  closedir(dir);
  return cleared;
}

}  // namespace host
