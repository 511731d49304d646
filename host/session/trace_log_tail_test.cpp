#include "session/trace_log_tail.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "support/temp_dir.h"

namespace host {
namespace {

// Appends text as UTF-16 little endian, as the plug-in writes its log.
void Append(const std::string& path, const std::u16string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  for (char16_t unit : text) out << static_cast<char>(unit & 0xFF) << static_cast<char>(unit >> 8);
}

using Lines = std::vector<std::string>;

TEST(TraceLogTail, HandsBackEachWholeLineOnceAndFollowsTheNewestFileOfThisProcess) {
  const testing_support::TempDir dir;
  const std::string first = dir.File("Tunewell_20261207_235959_1A.txt");
  TraceLogTail tail(dir.path(), "Tunewell", 0x1A);
  EXPECT_EQ(tail.NewLines(), Lines{});  // no file yet
  Append(first, u"\xFEFF" u"a\r\nb \u00E9\r\nhalf");
  Append(dir.File("Tunewell_20261208_000001_1B.txt"), u"\xFEFF" u"another process\r\n");
  EXPECT_EQ(tail.NewLines(), (Lines{"a", "b \xC3\xA9"}));
  EXPECT_EQ(tail.NewLines(), Lines{});  // the half line waits for its end
  Append(first, u" line\r\n");
  EXPECT_EQ(tail.NewLines(), Lines{"half line"});
  // The date changed: the plug-in started a new file.
  Append(dir.File("Tunewell_20261208_000000_1A.txt"), u"\xFEFF" u"next day\r\n");
  EXPECT_EQ(tail.NewLines(), Lines{"next day"});
#ifndef _WIN32
  // Something that is not a file under a newer name is not read, so it cannot block.
  ASSERT_EQ(mkfifo(dir.File("Tunewell_20261208_000002_1A.txt").c_str(), 0600), 0);
  EXPECT_EQ(tail.NewLines(), Lines{});
#endif
}

}  // namespace
}  // namespace host
