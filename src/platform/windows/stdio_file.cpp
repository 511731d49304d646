#include "platform/stdio_file.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

#include <cerrno>

#include "platform/system_error.h"
#include "platform/windows/win_text.h"

namespace platform {
namespace {

const char* StreamMode(std::uint32_t flags) {
  if (flags & File::modeReadWrite) return "r+b";
  if (flags & File::modeWrite) return "wb";
  return "rb";
}

int StreamAccess(std::uint32_t flags) {
  if (flags & File::modeReadWrite) return _O_RDWR | _O_BINARY;
  if (flags & File::modeWrite) return _O_WRONLY | _O_BINARY;
  return _O_RDONLY | _O_BINARY;
}

// The Windows error behind a failed runtime call: the runtime keeps the system's number beside
// errno when a system call failed.
int StreamError() {
  const unsigned long system = _doserrno;
  return system != 0 ? static_cast<int>(system) : static_cast<int>(ErrorFromErrno(errno));
}

bool GetUnit(std::FILE* stream, char& unit) {
  const int c = std::getc(stream);
  if (c == EOF) return false;
  unit = static_cast<char>(c);
  return true;
}

bool GetUnit(std::FILE* stream, char16_t& unit) {
  const int low = std::getc(stream);
  if (low == EOF) return false;
  const int high = std::getc(stream);
  if (high == EOF) return false;
  unit = static_cast<char16_t>(low | (high << 8));
  return true;
}

template <class T>
std::size_t ReadLineUnits(std::FILE* stream, T* buffer, std::size_t capacity) {
  if (stream == nullptr || buffer == nullptr || capacity == 0) return 0;
  std::size_t count = 0;
  _lock_file(stream);
  T unit{};
  while (count + 1 < capacity && GetUnit(stream, unit)) {
    buffer[count++] = unit;
    if (unit == T('\n')) break;
  }
  _unlock_file(stream);
  buffer[count] = T(0);
  return count;
}

}  // namespace

StdioFile::~StdioFile() { Close(); }

bool StdioFile::Open(const WString& path, std::uint32_t flags, FileError* error) {
  if (!File::Open(path, flags, error)) return false;
  // The stream gets its own handle for the same open file, so both share one position and
  // closing the stream leaves the file's own handle to File.
  HANDLE own = reinterpret_cast<HANDLE>(Handle());
  HANDLE copy = nullptr;
  const HANDLE process = ::GetCurrentProcess();
  std::FILE* stream = nullptr;
  if (::DuplicateHandle(process, own, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), StreamAccess(flags));
    if (fd < 0) {
      ::CloseHandle(copy);
    } else {
      stream = _fdopen(fd, StreamMode(flags));
      if (stream == nullptr) _close(fd);
    }
  }
  if (stream == nullptr) {
    const std::uint32_t code = error::kTooManyOpenFiles;
    File::Close();
    SetLastErrorCode(code);
    if (error != nullptr) *error = FileError(code, path);
    return false;
  }
  stream_ = stream;
  return true;
}

void StdioFile::Close() noexcept {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  File::Close();
}

std::size_t StdioFile::Read(void* buffer, std::size_t count) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  _doserrno = 0;
  const std::size_t n = std::fread(buffer, 1, count, stream_);
  if (n < count && std::ferror(stream_)) {
    const int err = StreamError();
    std::clearerr(stream_);
    Throw(err);
  }
  return n;
}

void StdioFile::Write(const void* buffer, std::size_t count) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  _doserrno = 0;
  if (std::fwrite(buffer, 1, count, stream_) != count) {
    const int err = StreamError();
    std::clearerr(stream_);
    Throw(err);
  }
}

std::uint64_t StdioFile::Seek(std::int64_t offset, int origin) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < begin || origin > end) throw FileError(error::kInvalidParameter, GetFilePath());
  if (_fseeki64(stream_, offset, kWhence[origin]) != 0) {
    throw FileError(errno == EINVAL ? error::kNegativeSeek : ErrorFromErrno(errno),
                    GetFilePath());
  }
  return GetPosition();
}

std::uint64_t StdioFile::GetPosition() const {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  const __int64 pos = _ftelli64(stream_);
  if (pos < 0) Throw(StreamError());
  return static_cast<std::uint64_t>(pos);
}

std::uint64_t StdioFile::GetLength() {
  Flush();
  return File::GetLength();
}

void StdioFile::Flush() {
  if (stream_ == nullptr) return;
  _doserrno = 0;
  if (std::fflush(stream_) != 0) {
    const int err = StreamError();
    std::clearerr(stream_);
    Throw(err);
  }
}

std::size_t StdioFile::ReadLine(char* buffer, std::size_t capacity) {
  return ReadLineUnits(stream_, buffer, capacity);
}

std::size_t StdioFile::ReadLine(char16_t* buffer, std::size_t capacity) {
  return ReadLineUnits(stream_, buffer, capacity);
}


}  // namespace platform
