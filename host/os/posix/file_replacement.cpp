// The POSIX backend of the file replacement: mkstemp, fsync, fchmod/fchown, rename.
#include "os/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace host {
namespace {

// ".<name>.tunewell-<pid>-XXXXXX": hidden, beside the original, naming the process that made
// it so that a later run removes only what no running process is writing.
constexpr std::string_view kMarker = ".tunewell-";
// The original's name is cut so that the temporary name stays within NAME_MAX.
constexpr std::size_t kMaxNamePart = 150;

std::string ErrnoText(int code) { return std::strerror(code); }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The rename is durable only once the folder's entry is on disk too.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Writes, flushes and dresses the temporary file as the original; false with the step that
// failed.
bool FillTemporary(int fd, const struct stat& original, const char* data, std::size_t size,
                   std::string& error) {
  if (!WriteAll(fd, data, size)) {
    error = "cannot write the temporary copy: " + ErrnoText(errno);
    return false;
  }
  if (fchmod(fd, original.st_mode & 07777) != 0) {
    error = "cannot set the temporary copy's permissions: " + ErrnoText(errno);
    return false;
  }
  // Only root may give a file away; anyone else keeps their own ownership, as a new file would.
  if (fchown(fd, original.st_uid, original.st_gid) != 0 && errno != EPERM) {
    error = "cannot set the temporary copy's owner: " + ErrnoText(errno);
    return false;
  }
  if (fsync(fd) != 0) {
    error = "cannot flush the temporary copy to disk: " + ErrnoText(errno);
    return false;
  }
  return true;
}

bool ProcessIsRunning(long pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The process id in a temporary file's name; 0 when the name is not one.
long ProcessOfTemporaryName(const std::string& name) {
  if (name.empty() || name[0] != '.') return 0;
  const std::size_t marker = name.rfind(kMarker);
  if (marker == std::string::npos) return 0;
  const std::string tail = name.substr(marker + kMarker.size());  // "<pid>-XXXXXX"
  const std::size_t dash = tail.find('-');
  if (dash == std::string::npos || dash == 0 || tail.size() - dash - 1 != 6) return 0;
  long pid = 0;
  for (std::size_t i = 0; i < dash; ++i) {
    if (tail[i] < '0' || tail[i] > '9' || pid > INT_MAX) return 0;
    pid = pid * 10 + (tail[i] - '0');
  }
  return pid;
}

}  // namespace

bool IsTemporaryFileName(const std::string& name) { return ProcessOfTemporaryName(name) > 0; }

std::string WhyNotReplaceable(const std::string& path) {
  std::string real, error;
  if (!RealPath(path, real, error)) return error;
  struct stat info {};
  if (stat(real.c_str(), &info) != 0) return ErrnoText(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  // access() also says no to root for an immutable file or a read-only mount.
  if (access(real.c_str(), W_OK) != 0) return "read-only file (" + ErrnoText(errno) + ")";
  if (access(FolderOf(real).c_str(), W_OK | X_OK) != 0) {
    return "folder not writable (" + ErrnoText(errno) + ")";
  }
  return {};
}

bool ReplaceFileContent(const std::string& path, const char* data, std::size_t size,
                        std::string& error) {
  std::string real;
  if (!RealPath(path, real, error)) return false;
  struct stat original {};
  if (stat(real.c_str(), &original) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  const std::string folder = FolderOf(real);
  std::string temporary = folder + "/." + NameOf(real).substr(0, kMaxNamePart) +
                          std::string(kMarker) + std::to_string(getpid()) + "-XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot create a temporary copy in the folder: " + ErrnoText(errno);
    return false;
  }
  bool ok = FillTemporary(fd, original, data, size, error);
  if (close(fd) != 0 && ok) {
    error = "cannot write the temporary copy: " + ErrnoText(errno);
    ok = false;
  }
  if (ok && rename(temporary.c_str(), real.c_str()) != 0) {
    error = "cannot replace the file: " + ErrnoText(errno);
    ok = false;
  }
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const long pid = ProcessOfTemporaryName(entry->d_name);
    if (pid == 0 || ProcessIsRunning(pid)) continue;
    if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

}  // namespace host
