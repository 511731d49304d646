#include "encoding/stdio_file_ex.h"

#include <algorithm>
#include <vector>

#include "encoding/ansi_conversion.h"
#include "encoding/template_smart_ptr_array.h"

namespace {

// Reads one line (units up to and including a line feed, or up to the end of the file) into
// the inline buffer, or, when it does not fit there, into heap. On success line points at the
// units without the line feed, terminated. False when nothing was read (end of the file or a
// read error).
template <class T>
bool ReadOneLine(platform::StdioFile& file, T* inlineBuffer, std::vector<T>& heap, T*& line,
                 std::size_t& length) {
  constexpr std::size_t kInline = CStdioFileEx::kLineBufferSize;
  const std::size_t n = file.ReadLine(inlineBuffer, kInline);
  if (n == 0) return false;
  line = inlineBuffer;
  length = n;
  if (n == kInline - 1 && inlineBuffer[n - 1] != T('\n')) {
    // A longer line goes on in a heap buffer that grows by at least 128 units and at least
    // doubles, so that even a megabyte line costs linear time.
    heap.assign(inlineBuffer, inlineBuffer + n);
    for (;;) {
      const std::size_t old = heap.size();
      const std::size_t room = std::max<std::size_t>(128, old);
      heap.resize(old + room + 1);
      const std::size_t got = file.ReadLine(heap.data() + old, room + 1);
      heap.resize(old + got);
      if (got < room || heap.back() == T('\n')) break;
    }
    heap.push_back(T(0));
    line = heap.data();
    length = heap.size() - 1;
  }
  if (line[length - 1] == T('\n')) line[--length] = T(0);
  return true;
}

}  // namespace

bool CStdioFileEx::Open(const WString& path, std::uint32_t flags, platform::FileError* error) {
  isUnicode = (flags & modeUnicode) != 0;
  flags = (flags & ~static_cast<std::uint32_t>(typeText)) | typeBinary;
  openFlags = flags;
  atStart = true;
  if (!StdioFile::Open(path, flags, error)) return false;
  if ((flags & (modeCreate | modeWrite)) != 0) return true;
  // Opened for reading: the file itself says whether it is Unicode.
  unsigned char mark[2] = {};
  std::size_t n = 0;
  try {
    n = Read(mark, sizeof mark);
    Seek(0, begin);
  } catch (const platform::FileError& e) {
    if (error != nullptr) *error = e;
    Close();
    return false;
  }
  isUnicode = n == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
  return true;
}

std::uint64_t CStdioFileEx::Seek(std::int64_t offset, int origin) {
  atStart = true;
  return StdioFile::Seek(offset, origin);
}

void CStdioFileEx::SkipByteOrderMark() {
  char mark[2];
  Read(mark, sizeof mark);
}

bool CStdioFileEx::ReadString(WString& text) {
  text.clear();
  try {
    if (atStart && isUnicode && GetPosition() == 0) SkipByteOrderMark();
  } catch (const platform::FileError&) {
    return false;  // a read error counts as the end of the file
  }
  if (isUnicode) {
    std::vector<char16_t> heap;
    char16_t* line = nullptr;
    std::size_t length = 0;
    if (!ReadOneLine(*this, wideLine, heap, line, length)) return false;
    text.assign(line, length);
  } else {
    std::vector<char> heap;
    char* line = nullptr;
    std::size_t length = 0;
    if (!ReadOneLine(*this, byteLine, heap, line, length)) return false;
    CTemplateSmartPtrArray<char16_t> wide(wideLine);
    const int n =
        encoding::AnsiToWideBuffer(line, wide, static_cast<int>(kLineBufferSize), fileCodePage);
    text.assign(wide.Get(), static_cast<std::size_t>(n));
  }
  if (!text.empty() && text.back() == u'\r') text.pop_back();
  atStart = false;
  return true;
}

void CStdioFileEx::WriteString(const char16_t* text) {
  if (text == nullptr) return;
  WriteUnits(text, std::char_traits<char16_t>::length(text));
}

void CStdioFileEx::WriteString(const WString& text) { WriteUnits(text.c_str(), text.size()); }

void CStdioFileEx::WriteUnits(const char16_t* text, std::size_t count) {
  const bool unicode = (openFlags & modeUnicode) != 0;
  if (writeBom && unicode && GetPosition() == 0) WriteToDescriptor("\xFF\xFE", 2);
  if (!unicode) {
    CTemplateSmartPtrArray<char> bytes(byteLine);
    const int n = encoding::WideToAnsiBuffer(text, bytes, static_cast<int>(kLineBufferSize),
                                             fileCodePage, replacementChar);
    if (n > 0) WriteToDescriptor(bytes.Get(), static_cast<std::size_t>(n));
    return;
  }
  // Little-endian whatever the machine, through the inline byte buffer.
  while (count > 0) {
    const std::size_t chunk = std::min(count, kLineBufferSize / 2);
    for (std::size_t i = 0; i < chunk; ++i) {
      byteLine[2 * i] = static_cast<char>(text[i] & 0xFF);
      byteLine[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    WriteToDescriptor(byteLine, chunk * 2);
    text += chunk;
    count -= chunk;
  }
}
