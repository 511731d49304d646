#include "os/posix/safe_open.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>


namespace host {
namespace {

constexpr int kNoWait = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

std::string SystemText(int code) { return std::strerror(code); }

}  // namespace

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a link";
  return "not a file";
}

bool LinkMayBeFollowed(uid_t linkOwner, const struct stat& target) {
  return linkOwner == geteuid() || linkOwner == 0 || linkOwner == target.st_uid;
}

int OpenRegularFileForReading(const std::string& path, std::string& error) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | kNoWait));
  struct stat info {};
  if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
    error = SystemText(errno);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "not a regular file (" + KindOf(info.st_mode) + ")";
    return -1;
  }
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd.Release();
}

}  // namespace host

namespace host {

int OpenUserOutputFile(const std::string& path, std::string& error) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  UniqueFd fd(open(path.c_str(), kFlags | O_NOFOLLOW, 0666));
  if (!fd.Valid() && errno == ELOOP) {
    struct stat link {}, target {};
    if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &target) != 0) {
      error = SystemText(errno);
      return -1;
    }
    if (!LinkMayBeFollowed(link.st_uid, target)) {
      error = "a link made by another user to a file that is not theirs (not followed)";
      return -1;
    }
    fd.Reset(open(path.c_str(), kFlags, 0666));
  }
  struct stat info {};
  if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
    // A FIFO nobody reads cannot even be opened for writing without waiting.
    error = errno == ENXIO ? "not a regular file (a FIFO)" : SystemText(errno);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "not a regular file (" + KindOf(info.st_mode) + ")";
    return -1;
  }
  if (ftruncate(fd.Get(), 0) != 0) {
    error = SystemText(errno);
    return -1;
  }
  fcntl(fd.Get(), F_SETFL, fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
  return fd.Release();
}

bool ReadBounded(int fd, std::size_t limit, std::string& content, std::string& error) {
  content.clear();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = SystemText(errno);
      return false;
    }
    if (n == 0) return true;
    if (content.size() + static_cast<std::size_t>(n) > limit) {
      error = "larger than " + std::to_string(limit) + " bytes";
      return false;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace host
