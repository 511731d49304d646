#include "platform/stdio_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/system_error.h"

namespace platform::stdio_stream {

std::FILE* Attach(std::intptr_t handle, std::uint32_t flags, std::uint32_t* error) {
  const int fd = ::fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
  std::FILE* stream = fd >= 0 ? ::fdopen(fd, Mode(flags)) : nullptr;
  if (stream == nullptr) {
    *error = ErrorFromErrno(errno);
    if (fd >= 0) ::close(fd);
  }
  return stream;
}

void Lock(std::FILE* stream) { flockfile(stream); }
void Unlock(std::FILE* stream) { funlockfile(stream); }
int GetLocked(std::FILE* stream) { return getc_unlocked(stream); }

void ResetError() { errno = 0; }
std::uint32_t LastError() { return ErrorFromErrno(errno); }

int Seek(std::FILE* stream, std::int64_t offset, int whence) {
  return ::fseeko(stream, static_cast<off_t>(offset), whence);
}

std::int64_t Tell(std::FILE* stream) { return ::ftello(stream); }

}  // namespace platform::stdio_stream
