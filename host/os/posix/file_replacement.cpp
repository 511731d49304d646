// The POSIX backend of the file replacement: mkstemp, the original's metadata, fsync, rename;
// or, where the copy cannot be the original's equal, a write in place behind a backup.
#include "os/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "os/posix/file_io.h"
#include "os/posix/file_metadata.h"
#include "os/posix/in_place_write.h"
#include "os/posix/temporary_names.h"

namespace host {
namespace {

std::string ErrnoText(int code) { return std::strerror(code); }

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

bool Unchanged(const std::string& real, const FileIdentity& asRead) {
  FileIdentity now;
  std::string ignored;
  return IdentifyFile(real, now, ignored) && now == asRead;
}

enum class CopyResult { Ready, NotTheOriginalsEqual, Failed };

// Writes and flushes the temporary copy and dresses it as the original.
CopyResult FillTemporary(int fd, const std::string& real, const struct stat& original,
                         const char* data, std::size_t size, std::string& error) {
  if (!WriteAll(fd, data, size)) {
    error = "cannot write the temporary copy: " + ErrnoText(errno);
    return CopyResult::Failed;
  }
  const int originalFd = open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  const bool carried = originalFd >= 0 && CarryMetadata(originalFd, fd, original);
  if (originalFd >= 0) close(originalFd);
  if (!carried) return CopyResult::NotTheOriginalsEqual;
  if (fsync(fd) != 0) {
    error = "cannot flush the temporary copy to disk: " + ErrnoText(errno);
    return CopyResult::Failed;
  }
  return CopyResult::Ready;
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

bool ReplaceFileContent(const std::string& path, const char* data, std::size_t size,
                        const FileIdentity& asRead, std::string& error) {
  std::string real;
  struct stat original {};
  if (!RealPath(path, real, error) || stat(real.c_str(), &original) != 0 ||
      !Unchanged(real, asRead)) {
    error = kChangedDuringRun;  // gone, or another program's version: it stays as it is
    return false;
  }
  // A copy renamed over one name would split the file from its other names.
  if (original.st_nlink > 1) return WriteInPlace(real, data, size, asRead, error);
  const std::string folder = FolderOf(real);
  std::string temporary;
  const int fd = MakeTemporaryFile(folder, NameOf(real), temporary);
  if (fd < 0) {
    error = "cannot create a temporary copy in the folder: " + ErrnoText(errno);
    return false;
  }
  const CopyResult copy = FillTemporary(fd, real, original, data, size, error);
  bool ok = copy == CopyResult::Ready;
  if (close(fd) != 0 && ok) {
    error = "cannot write the temporary copy: " + ErrnoText(errno);
    ok = false;
  }
  if (ok && !Unchanged(real, asRead)) {
    error = kChangedDuringRun;
    ok = false;
  }
  if (ok && rename(temporary.c_str(), real.c_str()) != 0) {
    error = "cannot replace the file: " + ErrnoText(errno);
    ok = false;
  }
  if (!ok) {
    unlink(temporary.c_str());
    if (copy == CopyResult::NotTheOriginalsEqual) {
      return WriteInPlace(real, data, size, asRead, error);
    }
    return false;
  }
  SyncFolder(folder);
  return true;
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
