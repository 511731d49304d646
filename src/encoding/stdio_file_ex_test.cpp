#include "encoding/stdio_file_ex.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/system_error.h"
#include "support/temp_dir.h"
#include "support/wine.h"

namespace {

using platform::File;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

constexpr std::uint32_t kRead = File::modeRead | File::typeText;
// The flags the log merge opens the parent log with.
constexpr std::uint32_t kAppendUnicode = File::modeWrite | File::modeCreate | File::modeNoTruncate |
                                         File::shareDenyWrite | File::typeText |
                                         CStdioFileEx::modeUnicode;

WString Wide(const std::string& path) { return platform::PathFromNative(path); }

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Utf16Le(const WString& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::vector<WString> ReadAllLines(CStdioFileEx& file) {
  std::vector<WString> lines;
  WString line;
  while (file.ReadString(line)) lines.push_back(line);
  EXPECT_EQ(u"", line);
  return lines;
}

std::vector<WString> ReadFileLines(const std::string& path, bool* unicode = nullptr) {
  CStdioFileEx file;
  EXPECT_TRUE(file.Open(Wide(path), kRead));
  if (unicode != nullptr) *unicode = file.IsUnicode();
  return ReadAllLines(file);
}

TEST(CStdioFileEx, EncodingComesFromTheFirstTwoBytes) {
  const struct {
    std::string bytes;
    std::uint32_t flags;
    bool unicode;
    std::vector<WString> lines;
  } cases[] = {
      {"\xFF\xFE" + Utf16Le(u"h\u00E9\r\nx"), File::typeText, true, {u"h\u00E9", u"x"}},
      {"\xFF\xFE" + Utf16Le(u"a"), File::modeRead | CStdioFileEx::modeUnicode, true, {u"a"}},
      {"ab", File::modeRead | CStdioFileEx::modeUnicode, false, {u"ab"}},  // flag ignored
      {"", File::modeRead, false, {}},
      {"\xFF", File::modeRead, false, {u"\uFFFD"}},                       // one byte: ANSI
      {"\xFE\xFF" "a", File::modeRead, false, {u"\uFFFD\uFFFDa"}},        // big-endian mark
      {"\xFF\xFE", File::modeRead, true, {}},                             // only the mark
      {"\xFF\xFE" + Utf16Le(u"ab") + "c", File::modeRead, true, {u"ab"}},  // odd last byte
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("in.txt");
    WriteBytes(path, c.bytes);
    CStdioFileEx file;
    ASSERT_TRUE(file.Open(Wide(path), c.flags));
    EXPECT_EQ(c.unicode, file.IsUnicode()) << "case index " << (&c - cases);
    EXPECT_EQ(c.lines, ReadAllLines(file)) << "case index " << (&c - cases);
    EXPECT_EQ(File::typeBinary, file.OpenFlags() & (File::typeBinary | File::typeText));
  }
}

TEST(CStdioFileEx, LineEnds) {
  const struct {
    std::string bytes;
    std::vector<WString> lines;
  } cases[] = {
      {"one\r\ntwo\nthree", {u"one", u"two", u"three"}},
      {"a\r\r\n", {u"a\r"}},           // one carriage return is removed, not two
      {"a\rb\n", {u"a\rb"}},
      {"\n\n", {u"", u""}},
      {"\r\n", {u""}},
      {"last\r", {u"last"}},
      {std::string("a\0b\nc", 5), {u"a", u"c"}},  // ANSI text ends at a zero byte
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteBytes(dir.File("ansi.txt"), c.bytes);
    EXPECT_EQ(c.lines, ReadFileLines(dir.File("ansi.txt"))) << "case index " << (&c - cases);
    // The same text as a Unicode file gives the same lines (a NUL stays in a Unicode line).
    WString wide(c.bytes.begin(), c.bytes.end());
    WriteBytes(dir.File("unicode.txt"), "\xFF\xFE" + Utf16Le(wide));
    std::vector<WString> expected = c.lines;
    if (c.bytes.find('\0') != std::string::npos) expected = {WString(u"a\0b", 3), u"c"};
    EXPECT_EQ(expected, ReadFileLines(dir.File("unicode.txt"))) << "case index " << (&c - cases);
  }
}

TEST(CStdioFileEx, LinesOfAnyLengthAreReadWhole) {
  const std::size_t lengths[] = {4094, 4095, 4096, 4097, 4223, 4224, 8191, 10000, 1 << 20};
  for (std::size_t length : lengths) {
    TempDir dir;
    WString line(length, u'w');
    line[length / 2] = u'\u00E9';
    std::string ansi = std::string(length / 2, 'w') + "\xC3\xA9" + std::string(length - length / 2 - 1, 'w');
    WriteBytes(dir.File("ansi.txt"), ansi + "\r\nnext\n" + ansi);
    EXPECT_EQ((std::vector<WString>{line, u"next", line}), ReadFileLines(dir.File("ansi.txt")))
        << length;
    WriteBytes(dir.File("unicode.txt"), "\xFF\xFE" + Utf16Le(line + u"\nnext\r\n" + line));
    EXPECT_EQ((std::vector<WString>{line, u"next", line}), ReadFileLines(dir.File("unicode.txt")))
        << length;
  }
}

TEST(CStdioFileEx, AnsiFilesUseTheSystemAnsiCodePage) {
  TempDir dir;
  WriteBytes(dir.File("in.txt"), "\x80 \xE9\n");
  {
    platform::ScopedAnsiCodePage ansi(platform::kCpWindows1252);
    EXPECT_EQ(std::vector<WString>{u"\u20AC \u00E9"}, ReadFileLines(dir.File("in.txt")));
  }
  if (!testing_support::KnownWineDifference("Wine drops a cut UTF-8 sequence")) {
    EXPECT_EQ(std::vector<WString>{u"\uFFFD \uFFFD"}, ReadFileLines(dir.File("in.txt")));
  }
}

TEST(CStdioFileEx, NewUnicodeFileGetsTheMarkOnce) {
  TempDir dir;
  const std::string path = dir.File("parent.log");
  {
    CStdioFileEx file;
    ASSERT_TRUE(file.Open(Wide(path), kAppendUnicode));
    EXPECT_EQ(0x20B021u, file.OpenFlags());
    file.SeekToEnd();
    file.WriteString(u"x");
    EXPECT_EQ(std::string("\xFF\xFE\x78\x00", 4), ReadFileBytes(path));  // already on disk
    file.WriteString(u"x");
  }
  EXPECT_EQ(std::string("\xFF\xFE\x78\x00\x78\x00", 6), ReadFileBytes(path));
  {
    CStdioFileEx file;  // an existing, non-empty file: no second mark
    ASSERT_TRUE(file.Open(Wide(path), kAppendUnicode));
    file.SeekToEnd();
    file.WriteString(u"y");
  }
  EXPECT_EQ(std::string("\xFF\xFE\x78\x00\x78\x00\x79\x00", 8), ReadFileBytes(path));
}

TEST(CStdioFileEx, UnicodeFileReadsBackExactlyAsWritten) {
  const std::vector<WString> lines = {
      u"plain",   u"caf\u00E9 \u4E2D\u6587", u"\U0001F600 pair", WString(1, u'\xD800') + u" lone",
      u"",        u"tab\there",              WString(u"nul\0inside", 10), WString(5000, u'\u00E9'),
  };
  TempDir dir;
  const std::string path = dir.File("u.txt");
  {
    CStdioFileEx file;
    ASSERT_TRUE(file.Open(Wide(path), File::modeWrite | File::modeCreate | CStdioFileEx::modeUnicode));
    for (const WString& line : lines) file.WriteString(line + u"\r\n");
  }
  bool unicode = false;
  EXPECT_EQ(lines, ReadFileLines(path, &unicode));
  EXPECT_TRUE(unicode);
  EXPECT_EQ("\xFF\xFE", ReadFileBytes(path).substr(0, 2));
}

TEST(CStdioFileEx, AnsiWrites) {
  const struct {
    std::uint32_t ansi;
    WString text;
    std::string bytes;
  } cases[] = {
      {platform::kCpWindows1252, u"\u4E2D", "#"},
      {platform::kCpWindows1252, u"\u20AC\u00E9\r\n", "\x80\xE9\r\n"},
      {platform::kCpWindows1252, u"\U0001F600", "##"},
      {platform::kCpUtf8, u"\u4E2D\n", "\xE4\xB8\xAD\n"},
      {platform::kCpUtf8, u"", ""},
      {platform::kCpUtf8, WString(u"ab\0cd", 5), "ab"},
      {platform::kCpUtf8, WString(6000, u'z'), std::string(6000, 'z')},
  };
  for (const auto& c : cases) {
    platform::ScopedAnsiCodePage ansi(c.ansi);
    TempDir dir;
    const std::string path = dir.File("a.txt");
    {
      CStdioFileEx file;
      ASSERT_TRUE(file.Open(Wide(path), File::modeWrite | File::modeCreate | File::typeText));
      EXPECT_FALSE(file.IsUnicode());
      file.WriteString(c.text);
    }
    EXPECT_EQ(c.bytes, ReadFileBytes(path)) << "case index " << (&c - cases);
  }
}

TEST(CStdioFileEx, SeekToStartReadsTheFirstLineAgain) {
  TempDir dir;
  const std::string path = dir.File("u.txt");
  WriteBytes(path, "\xFF\xFE" + Utf16Le(u"first\r\nsecond\r\nthird"));
  CStdioFileEx file;
  ASSERT_TRUE(file.Open(Wide(path), kRead));
  WString line;
  ASSERT_TRUE(file.ReadString(line));
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(u"second", line);
  EXPECT_EQ(0u, file.Seek(0, File::begin));
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(u"first", line);
  // At any other position the mark question does not arise.
  EXPECT_EQ(16u, file.Seek(16, File::begin));
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(u"second", line);
}

TEST(CStdioFileEx, ReadAndWriteOneFile) {
  TempDir dir;
  const std::string path = dir.File("rw.txt");
  CStdioFileEx file;
  ASSERT_TRUE(file.Open(Wide(path), File::modeReadWrite | File::modeCreate |
                                        CStdioFileEx::modeUnicode));
  file.WriteString(u"alpha\r\n");
  file.WriteString(u"beta\r\n");
  EXPECT_EQ(2u + 2 * 13, file.GetPosition());
  file.Seek(0, File::begin);
  WString line;
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(u"alpha", line);
  file.SeekToEnd();
  file.WriteString(u"gamma");
  file.Seek(0, File::begin);
  EXPECT_EQ((std::vector<WString>{u"alpha", u"beta", u"gamma"}), ReadAllLines(file));
}

TEST(CStdioFileEx, BaseReadStringKeepsTheLineFeed) {
  TempDir dir;
  WriteBytes(dir.File("u.txt"), Utf16Le(u"ab\ncd"));
  CStdioFileEx file;
  ASSERT_TRUE(file.Open(Wide(dir.File("u.txt")), File::modeRead));
  char16_t buffer[8];
  ASSERT_NE(nullptr, file.ReadString(buffer, 8));
  EXPECT_EQ(u"ab\n", WString(buffer));
}

TEST(CStdioFileEx, OpenFailures) {
  TempDir dir;
  const struct {
    std::string path;
    std::uint32_t flags;
    std::uint32_t code;
  } cases[] = {
      {dir.File("missing.txt"), kRead, platform::error::kFileNotFound},
      {dir.File("no/such/folder.txt"), kAppendUnicode, platform::error::kPathNotFound},
      {dir.path(), kRead, platform::error::kAccessDenied},
  };
  for (const auto& c : cases) {
    CStdioFileEx file;
    platform::FileError error;
    EXPECT_FALSE(file.Open(Wide(c.path), c.flags, &error));
    EXPECT_EQ(c.code, error.Code()) << c.path;
    WString line = u"old";
    EXPECT_FALSE(file.ReadString(line));
    EXPECT_EQ(u"", line);
  }
}

}  // namespace
