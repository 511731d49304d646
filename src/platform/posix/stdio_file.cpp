#include "platform/stdio_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error.h"

namespace platform {
namespace {

// The stream's mode for the file's access; "w" on an existing descriptor does not truncate.
const char* StreamMode(std::uint32_t flags) {
  if (flags & File::modeReadWrite) return "r+b";
  if (flags & File::modeWrite) return "wb";
  return "rb";
}

// Reads one unit (a byte, or a UTF-16 code unit stored little-endian) from a locked stream;
// false at the end or on an error.
bool GetUnit(std::FILE* stream, char& unit) {
  const int c = getc_unlocked(stream);
  if (c == EOF) return false;
  unit = static_cast<char>(c);
  return true;
}

bool GetUnit(std::FILE* stream, char16_t& unit) {
  const int low = getc_unlocked(stream);
  if (low == EOF) return false;
  const int high = getc_unlocked(stream);
  if (high == EOF) return false;
  unit = static_cast<char16_t>(low | (high << 8));
  return true;
}

template <class T>
std::size_t ReadLineUnits(std::FILE* stream, T* buffer, std::size_t capacity) {
  if (stream == nullptr || buffer == nullptr || capacity == 0) return 0;
  std::size_t count = 0;
  flockfile(stream);
  T unit{};
  while (count + 1 < capacity && GetUnit(stream, unit)) {
    buffer[count++] = unit;
    if (unit == T('\n')) break;
  }
  funlockfile(stream);
  buffer[count] = T(0);
  return count;
}

}  // namespace

StdioFile::~StdioFile() { Close(); }

bool StdioFile::Open(const WString& path, std::uint32_t flags, FileError* error) {
  if (!File::Open(path, flags, error)) return false;
  // The stream gets its own descriptor for the same open file, so both share one position
  // and closing the stream leaves the file's own descriptor to File.
  const int fd = ::fcntl(static_cast<int>(Handle()), F_DUPFD_CLOEXEC, 0);
  std::FILE* stream = fd >= 0 ? ::fdopen(fd, StreamMode(flags)) : nullptr;
  if (stream == nullptr) {
    const std::uint32_t code = ErrorFromErrno(errno);
    if (fd >= 0) ::close(fd);
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
  const std::size_t n = std::fread(buffer, 1, count, stream_);
  if (n < count && std::ferror(stream_)) {
    const int err = errno;
    std::clearerr(stream_);
    Throw(err);
  }
  return n;
}

void StdioFile::Write(const void* buffer, std::size_t count) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  if (std::fwrite(buffer, 1, count, stream_) != count) {
    const int err = errno;
    std::clearerr(stream_);
    Throw(err);
  }
}

std::uint64_t StdioFile::Seek(std::int64_t offset, int origin) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < begin || origin > end) throw FileError(error::kInvalidParameter, GetFilePath());
  if (::fseeko(stream_, static_cast<off_t>(offset), kWhence[origin]) != 0) {
    throw FileError(errno == EINVAL ? error::kNegativeSeek : ErrorFromErrno(errno),
                    GetFilePath());
  }
  return GetPosition();
}

std::uint64_t StdioFile::GetPosition() const {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  const off_t pos = ::ftello(stream_);
  if (pos < 0) Throw(errno);
  return static_cast<std::uint64_t>(pos);
}

std::uint64_t StdioFile::GetLength() {
  Flush();
  return File::GetLength();
}

void StdioFile::Flush() {
  if (stream_ == nullptr) return;
  if (std::fflush(stream_) != 0) {
    const int err = errno;
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
