// The parts of StdioFile that only use the stream's own functions: the same on every platform.
#include "platform/stdio_file.h"

#include <iterator>

namespace platform {

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

}  // namespace platform
