#include "os/file_kind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {
namespace {

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a file";
}

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

}  // namespace

std::string WhyNotRegularFile(const std::string& path) {
  // Non-blocking: a FIFO opens at once instead of waiting for a writer; no controlling terminal.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::string("cannot open the file: ") + std::strerror(errno);
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (!known) return std::string("cannot open the file: ") + std::strerror(errno);
  return S_ISREG(st.st_mode) ? "" : "not a regular file (" + KindOf(st.st_mode) + ")";
}

std::string WhyNotLogFile(const std::string& path) {
  struct stat st {};
  struct statfs fs {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return "not a regular file (" + KindOf(st.st_mode) + ")";
    if (::statfs(path.c_str(), &fs) == 0 && IsKernelFileSystem(fs)) {
      return "a file of the kernel's own file system, not a log";
    }
    return "";
  }
  // A new file: its folder must not be one of the kernel's.
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (::statfs(folder.c_str(), &fs) == 0 && IsKernelFileSystem(fs)) {
    return "a file of the kernel's own file system, not a log";
  }
  return "";
}

}  // namespace host
