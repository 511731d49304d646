#include "os/file_kind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/posix/descriptor.h"
#include "os/posix/safe_open.h"

namespace host {

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

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& content,
                   std::string& error) {
  UniqueFd fd(OpenRegularFileForReading(path, error));
  return fd.Valid() && ReadBounded(fd.Get(), limit, content, error);
}

bool IsOwnFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace host
