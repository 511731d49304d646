#include "platform/stdio_stream.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/system_error.h"
#include "platform/windows/win_text.h"

namespace platform::stdio_stream {
namespace {

int Access(std::uint32_t flags) {
  if (flags & File::modeReadWrite) return _O_RDWR | _O_BINARY;
  if (flags & File::modeWrite) return _O_WRONLY | _O_BINARY;
  return _O_RDONLY | _O_BINARY;
}

}  // namespace

std::FILE* Attach(std::intptr_t handle, std::uint32_t flags, std::uint32_t* error) {
  HANDLE copy = nullptr;
  const HANDLE process = ::GetCurrentProcess();
  std::FILE* stream = nullptr;
  if (::DuplicateHandle(process, reinterpret_cast<HANDLE>(handle), process, &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), Access(flags));
    if (fd < 0) {
      ::CloseHandle(copy);
    } else {
      stream = _fdopen(fd, Mode(flags));
      if (stream == nullptr) _close(fd);
    }
  }
  if (stream == nullptr) *error = error::kTooManyOpenFiles;
  return stream;
}

void Lock(std::FILE* stream) { _lock_file(stream); }
void Unlock(std::FILE* stream) { _unlock_file(stream); }
// The Microsoft runtime's getc takes the stream's lock again; it is re-entrant.
int GetLocked(std::FILE* stream) { return std::getc(stream); }

void ResetError() { _doserrno = 0; }

// The runtime keeps the system's number beside errno when a system call failed.
std::uint32_t LastError() {
  const unsigned long system = _doserrno;
  return system != 0 ? static_cast<std::uint32_t>(system) : ErrorFromErrno(errno);
}

int Seek(std::FILE* stream, std::int64_t offset, int whence) {
  return _fseeki64(stream, offset, whence);
}

std::int64_t Tell(std::FILE* stream) { return _ftelli64(stream); }

}  // namespace platform::stdio_stream
