// CStdioFileEx::ReadString over a file anyone may have written: a UTF-16 file (FF FE) or an
// ANSI one, read under each ANSI code page the plug-in meets (ISO 8859-1, Windows-1252,
// UTF-8). The lines must be exactly the file's lines, long ones included, and reading again
// after a seek to the start must give them again.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "encoding/stdio_file_ex.h"

namespace {

constexpr std::uint32_t kCodePages[] = {platform::kCpLatin1, platform::kCpWindows1252,
                                        platform::kCpUtf8};

// The file's lines in its own units: split at each line feed, a last empty piece dropped.
template <class Text>
std::vector<Text> SplitLines(const Text& text) {
  std::vector<Text> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find(typename Text::value_type('\n'), from);
    if (end == Text::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

void DropCarriageReturn(WString& line) {
  if (!line.empty() && line.back() == u'\r') line.pop_back();
}

std::vector<WString> ExpectedUnicode(std::string_view bytes) {
  std::vector<WString> lines = SplitLines(fuzz::WideText(bytes));
  for (WString& line : lines) DropCarriageReturn(line);
  return lines;
}

// An ANSI line is converted as terminated text: it ends at its first zero byte.
std::vector<WString> ExpectedAnsi(std::string_view bytes, std::uint32_t codePage) {
  std::vector<WString> lines;
  for (const std::string& raw : SplitLines(std::string(bytes))) {
    const std::string text = raw.substr(0, raw.find('\0'));
    WString line;
    if (!text.empty()) {
      const int length = static_cast<int>(text.size());
      const int needed = platform::MultiByteToWide(codePage, 0, text.data(), length, nullptr, 0);
      line.resize(static_cast<std::size_t>(needed));
      platform::MultiByteToWide(codePage, 0, text.data(), length, line.data(), needed);
    }
    DropCarriageReturn(line);
    lines.push_back(line);
  }
  return lines;
}

std::vector<WString> ReadLines(CStdioFileEx& file) {
  std::vector<WString> lines;
  WString line;
  while (file.ReadString(line)) lines.push_back(line);
  fuzz::Check(line.empty(), "text left behind at the end of the file");
  return lines;
}

void CheckLines(const std::vector<WString>& got, const std::vector<WString>& expected,
                const std::string& what) {
  fuzz::Check(got.size() == expected.size(), what + ": " + std::to_string(got.size()) +
                                                 " lines instead of " +
                                                 std::to_string(expected.size()));
  for (std::size_t i = 0; i < got.size(); ++i) {
    fuzz::Check(got[i] == expected[i], what + ": line " + std::to_string(i) + " \"" +
                                           fuzz::Printable(got[i]) + "\" instead of \"" +
                                           fuzz::Printable(expected[i]) + "\"");
  }
}

void ReadFile(const WString& path, const std::vector<WString>& expected, const std::string& what) {
  CStdioFileEx file;
  fuzz::Check(file.Open(path, CStdioFileEx::modeRead | CStdioFileEx::typeText), "cannot open");
  CheckLines(ReadLines(file), expected, what);
  file.Seek(0, CStdioFileEx::begin);
  CheckLines(ReadLines(file), expected, what + ", read again");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  const std::filesystem::path file = fuzz::TempFolder::Path() / "lines.txt";
  fuzz::WriteFile(file, bytes);
  const WString path = fuzz::WidePath(file);
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    ReadFile(path, ExpectedUnicode(bytes), "UTF-16 file");
    return 0;
  }
  for (const std::uint32_t codePage : kCodePages) {
    const platform::ScopedAnsiCodePage ansi(codePage);
    ReadFile(path, ExpectedAnsi(bytes, codePage), "code page " + std::to_string(codePage));
  }
  return 0;
}
