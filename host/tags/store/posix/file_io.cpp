#include "tags/store/posix/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>


namespace host {

namespace {
int (*syncFile)(int fd) = fsync;
}  // namespace

std::string ErrnoText(int code) { return std::strerror(code); }

std::uint64_t BytesOnDisk(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_blocks) * 512 : 0;
}

bool RoomFor(int folder, std::uint64_t bytes) {
  constexpr std::uint64_t kMargin = 16ull << 20;
  struct statvfs fs {};
  if (fstatvfs(folder, &fs) != 0) return true;
  return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize >= bytes + kMargin;
}

bool SyncToDisk(int fd) { return syncFile(fd) == 0; }

void SetSyncForTesting(int (*sync)(int fd)) { syncFile = sync != nullptr ? sync : fsync; }

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

bool CopyAll(int from, int to) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t n = read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n))) return false;
  }
}

}  // namespace host
