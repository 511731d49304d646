// StdioFile over the runtime's stream: the same on every platform; what differs between the
// runtimes sits behind stdio_stream.h.
#include "platform/stdio_file.h"

#include <cerrno>
#include <iterator>

#include "platform/stdio_stream.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// Reads one unit (a byte, or a UTF-16 code unit stored little-endian) from a locked stream;
// false at the end or on an error.
bool GetUnit(std::FILE* stream, char& unit) {
  const int c = stdio_stream::GetLocked(stream);
  if (c == EOF) return false;
  unit = static_cast<char>(c);
  return true;
}

bool GetUnit(std::FILE* stream, char16_t& unit) {
  const int low = stdio_stream::GetLocked(stream);
  if (low == EOF) return false;
  const int high = stdio_stream::GetLocked(stream);
  if (high == EOF) return false;
  unit = static_cast<char16_t>(low | (high << 8));
  return true;
}

template <class T>
std::size_t ReadLineUnits(std::FILE* stream, T* buffer, std::size_t capacity) {
  if (stream == nullptr || buffer == nullptr || capacity == 0) return 0;
  std::size_t count = 0;
  stdio_stream::Lock(stream);
  T unit{};
  while (count + 1 < capacity && GetUnit(stream, unit)) {
    buffer[count++] = unit;
    if (unit == T('\n')) break;
  }
  stdio_stream::Unlock(stream);
  buffer[count] = T(0);
  return count;
}

}  // namespace

namespace stdio_stream {

const char* Mode(std::uint32_t flags) {
  if (flags & File::modeReadWrite) return "r+b";
  if (flags & File::modeWrite) return "wb";
  return "rb";
}

}  // namespace stdio_stream

StdioFile::~StdioFile() { Close(); }

bool StdioFile::Open(const WString& path, std::uint32_t flags, FileError* error) {
  if (!File::Open(path, flags, error)) return false;
  // The stream gets its own handle for the same open file, so both share one position and
  // closing the stream leaves the file's own handle to File.
  std::uint32_t code = error::kSuccess;
  std::FILE* stream = stdio_stream::Attach(Handle(), flags, &code);
  if (stream == nullptr) {
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
  stdio_stream::ResetError();
  const std::size_t n = std::fread(buffer, 1, count, stream_);
  if (n < count && std::ferror(stream_)) ThrowStreamError();
  return n;
}

void StdioFile::Write(const void* buffer, std::size_t count) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  stdio_stream::ResetError();
  if (std::fwrite(buffer, 1, count, stream_) != count) ThrowStreamError();
}

std::uint64_t StdioFile::Seek(std::int64_t offset, int origin) {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < begin || origin > end) throw FileError(error::kInvalidParameter, GetFilePath());
  if (stdio_stream::Seek(stream_, offset, kWhence[origin]) != 0) {
    throw FileError(errno == EINVAL ? error::kNegativeSeek : ErrorFromErrno(errno),
                    GetFilePath());
  }
  return GetPosition();
}

std::uint64_t StdioFile::GetPosition() const {
  if (stream_ == nullptr) throw FileError(error::kInvalidHandle, GetFilePath());
  stdio_stream::ResetError();
  const std::int64_t pos = stdio_stream::Tell(stream_);
  if (pos < 0) throw FileError(stdio_stream::LastError(), GetFilePath());
  return static_cast<std::uint64_t>(pos);
}

std::uint64_t StdioFile::GetLength() {
  Flush();
  return File::GetLength();
}

void StdioFile::Flush() {
  if (stream_ == nullptr) return;
  stdio_stream::ResetError();
  if (std::fflush(stream_) != 0) ThrowStreamError();
}

std::size_t StdioFile::ReadLine(char* buffer, std::size_t capacity) {
  return ReadLineUnits(stream_, buffer, capacity);
}

std::size_t StdioFile::ReadLine(char16_t* buffer, std::size_t capacity) {
  return ReadLineUnits(stream_, buffer, capacity);
}

char16_t* StdioFile::ReadString(char16_t* buffer, std::uint32_t max) {
  return ReadLine(buffer, max) == 0 ? nullptr : buffer;
}

bool StdioFile::ReadString(WString& text) {
  text.clear();
  char16_t chunk[128];
  std::size_t n = 0;
  while ((n = ReadLine(chunk, std::size(chunk))) > 0) {
    text.append(chunk, n);
    if (text.back() == u'\n') {
      text.pop_back();
      return true;
    }
  }
  return !text.empty();
}

void StdioFile::WriteString(const char16_t* text) {
  if (text == nullptr) return;
  for (; *text != u'\0'; ++text) {
    const char bytes[2] = {static_cast<char>(*text & 0xFF), static_cast<char>(*text >> 8)};
    Write(bytes, 2);
  }
}

void StdioFile::WriteToDescriptor(const void* buffer, std::size_t count) {
  // Afterwards the handle must stand at the stream's position with nothing buffered that could
  // overtake or overwrite these bytes. Each runtime needs its own half: Microsoft's seek drops
  // the read-ahead and moves the handle back (its flush leaves the handle past the read-ahead);
  // the GNU seek may stay inside its buffer, and its flush then moves the handle back.
  Seek(0, File::current);
  Flush();
  File::Write(buffer, count);
}

void StdioFile::ThrowStreamError() {
  const std::uint32_t code = stdio_stream::LastError();
  std::clearerr(stream_);
  throw FileError(code, GetFilePath());
}

}  // namespace platform
