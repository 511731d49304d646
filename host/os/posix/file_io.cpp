#include "os/posix/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "os/posix/temporary_names.h"

namespace host {

namespace {
int (*syncFile)(int fd) = fsync;
}  // namespace

std::string ErrnoText(int code) { return std::strerror(code); }

bool SyncToDisk(int fd) { return syncFile(fd) == 0; }

void SetSyncForTesting(int (*sync)(int fd)) { syncFile = sync != nullptr ? sync : fsync; }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

bool WriteThroughTemporary(const std::string& path, const std::function<bool(int fd)>& fill) {
  std::string temporary;
  const int fd = MakeTemporaryFile(FolderOf(path), NameOf(path), temporary);
  if (fd < 0) return false;
  bool ok = fill(fd) && SyncToDisk(fd);
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int saved = errno;
    unlink(temporary.c_str());
    errno = saved;
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  SyncToDisk(fd);
  close(fd);
}

}  // namespace host
