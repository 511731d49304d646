#include "os/log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "os/posix/descriptor.h"
#include "os/posix/random_name.h"
#include "os/posix/safe_open.h"

namespace host {
namespace {

// The file systems mounted under /proc and /sys: their files are the kernel's settings.
bool IsKernelFileSystem(const struct statfs& fs) {
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9fa0: case 0x62656572: case 0x64626720: case 0x74726163: case 0x73636673:
    case 0x27e0eb: case 0x63677270: case 0x62656570: case 0xcafe4a11: case 0x6165676c:
    case 0xde5e81e4:
      return true;
    default:
      return false;
  }
}

// Where the open file really is: the kernel's folders take no log whatever file system holds
// them (/sys/fs/cgroup may be a tmpfs).
bool UnderKernelFolders(int fd) {
  char real[PATH_MAX];
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = readlink(self.c_str(), real, sizeof real - 1);
  if (n <= 0) return false;
  const std::string path(real, static_cast<std::size_t>(n));
  for (const char* kernel : {"/proc/", "/sys/", "/dev/"}) {
    if (path.starts_with(kernel)) return true;
  }
  return false;
}

}  // namespace

ParentLogFile::~ParentLogFile() {
  if (fd_ >= 0) close(fd_);
}

bool ParentLogFile::Open(const std::string& path, std::string& error) {
  // The folder first: a new file is never made where the kernel keeps its settings.
  const std::size_t slash = path.find_last_of('/');
  const std::string folderPath =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  UniqueFd folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct statfs fs {};
  if (!folder.Valid()) {
    error = std::strerror(errno);
    return false;
  }
  const auto kernels = [&](int fd) {
    return (fstatfs(fd, &fs) == 0 && IsKernelFileSystem(fs)) || UnderKernelFolders(fd);
  };
  if (kernels(folder.Get())) {
    error = "a file of the kernel's own file system, not a log";
    return false;
  }
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  UniqueFd fd(openat(folder.Get(), name.c_str(), kFlags | O_NOFOLLOW, 0666));
  if (!fd.Valid() && errno == ELOOP) {
    struct stat link {}, target {};
    if (fstatat(folder.Get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
        fstatat(folder.Get(), name.c_str(), &target, 0) == 0 &&
        !LinkMayBeFollowed(link.st_uid, target)) {
      error = "a link made by another user to a file that is not theirs (not followed)";
      return false;
    }
    fd.Reset(openat(folder.Get(), name.c_str(), kFlags, 0666));
  }
  struct stat info {};
  if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "not a regular file (" + KindOf(info.st_mode) + ")";
    return false;
  }
  if (kernels(fd.Get())) {
    error = "a file of the kernel's own file system, not a log";
    return false;
  }
  if (fd_ >= 0) close(fd_);
  fd_ = fd.Release();
  path_ = path;
  return true;
}

std::string ParentLogFile::NameForPlugin() const {
  return fd_ >= 0 ? "/proc/self/fd/" + std::to_string(fd_) : path_;
}

bool FolderTakesWrites(const std::string& folder) {
  UniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return false;
  std::string name;
  UniqueFd probe(CreateNewFileIn(dir.Get(), ".tunewell-write-test-", 0600, name));
  if (!probe.Valid()) return false;
  const bool written = write(probe.Get(), "tunewell\n", 9) == 9;
  unlinkat(dir.Get(), name.c_str(), 0);
  return written;
}

}  // namespace host
