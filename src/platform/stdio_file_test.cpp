#include "platform/stdio_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace {

using platform::File;
using platform::StdioFile;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

// Exposes the descriptor write for the tests.
class RawStdioFile : public StdioFile {
 public:
  using StdioFile::WriteToDescriptor;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(StdioFile, ReadLineStopsAfterTheLineFeedOrWhenFull) {
  const struct {
    std::string bytes;
    std::size_t capacity;
    std::string first;
  } cases[] = {
      {"abc\ndef", 16, "abc\n"},
      {"abc\ndef", 4, "abc"},   // capacity - 1 bytes
      {"abc\ndef", 5, "abc\n"},
      {"abc", 16, "abc"},
      {std::string("a\0b\n", 4), 16, std::string("a\0b\n", 4)},
      {"\n", 2, "\n"},
      {"xyz", 1, ""},            // no room for anything but the terminator
      {"", 16, ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteBytes(dir.File("f"), c.bytes);
    StdioFile file;
    ASSERT_TRUE(file.Open(platform::PathFromNative(dir.File("f")), File::modeRead));
    char buffer[16];
    const std::size_t n = file.ReadLine(buffer, c.capacity);
    EXPECT_EQ(c.first, std::string(buffer, n)) << "case index " << (&c - cases);
    EXPECT_EQ('\0', buffer[n]);
  }
}

TEST(StdioFile, WideLinesAreLittleEndianUnits) {
  TempDir dir;
  WriteBytes(dir.File("f"), std::string("a\x00\x0A\x00\x2D\x4E\x0A", 7));
  StdioFile file;
  ASSERT_TRUE(file.Open(platform::PathFromNative(dir.File("f")), File::modeRead));
  char16_t buffer[8];
  EXPECT_EQ(2u, file.ReadLine(buffer, 8));
  EXPECT_EQ(u"a\n", WString(buffer));
  EXPECT_EQ(1u, file.ReadLine(buffer, 8));  // the odd last byte is not a unit
  EXPECT_EQ(u"\u4E2D", WString(buffer));
  EXPECT_EQ(0u, file.ReadLine(buffer, 8));
}

TEST(StdioFile, DescriptorWritesKeepTheirOrderAndPosition) {
  TempDir dir;
  const std::string path = dir.File("f");
  RawStdioFile file;
  // Shared, so that the test can read the file while it is open (sharing modes hold on Windows).
  ASSERT_TRUE(file.Open(platform::PathFromNative(path),
                        File::modeReadWrite | File::modeCreate | File::shareDenyNone));
  file.Write("ab", 2);               // buffered in the stream
  file.WriteToDescriptor("cd", 2);   // must come after it
  EXPECT_EQ(4u, file.GetPosition());
  file.Write("ef", 2);
  EXPECT_EQ(6u, file.GetLength());
  EXPECT_EQ("abcdef", ReadFileBytes(path));

  // After reading with read-ahead, a descriptor write lands at the reading position.
  file.Seek(0, File::begin);
  char two[2];
  ASSERT_EQ(2u, file.Read(two, 2));
  file.WriteToDescriptor("XY", 2);
  EXPECT_EQ(4u, file.GetPosition());
  ASSERT_EQ(2u, file.Read(two, 2));
  EXPECT_EQ("ef", std::string(two, 2));
  file.Close();
  EXPECT_EQ("abXYef", ReadFileBytes(path));
}

TEST(StdioFile, WriteOnlyOpenDoesNotTruncateOrAppend) {
  TempDir dir;
  const std::string path = dir.File("f");
  WriteBytes(path, "123456");
  StdioFile file;
  ASSERT_TRUE(file.Open(platform::PathFromNative(path),
                        File::modeWrite | File::modeCreate | File::modeNoTruncate));
  file.Seek(2, File::begin);
  file.Write("ab", 2);
  file.Close();
  EXPECT_EQ("12ab56", ReadFileBytes(path));
}

TEST(StdioFile, FrameworkReadStringDropsOnlyTheLineFeed) {
  TempDir dir;
  std::string bytes;
  for (char16_t unit : WString(u"one\r\n") + WString(300, u'z') + u"\nlast") {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  WriteBytes(dir.File("f"), bytes);
  StdioFile file;
  ASSERT_TRUE(file.Open(platform::PathFromNative(dir.File("f")), File::modeRead));
  WString line;
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(u"one\r", line);
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(WString(300, u'z'), line);
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(u"last", line);
  EXPECT_FALSE(file.ReadString(line));
  EXPECT_EQ(u"", line);
}

TEST(StdioFile, ClosedFileOperationsFail) {
  StdioFile file;
  char buffer[4];
  EXPECT_EQ(0u, file.ReadLine(buffer, 4));
  EXPECT_THROW(file.Read(buffer, 4), platform::FileError);
  EXPECT_THROW(file.Write("x", 1), platform::FileError);
  EXPECT_THROW(file.Seek(0, File::begin), platform::FileError);
  EXPECT_THROW(file.GetPosition(), platform::FileError);
}

}  // namespace
