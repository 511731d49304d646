#include "text/bytes_to_wide.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "support/trace_capture.h"
#include "encoding/conversion_exception.h"

namespace {

using testing_support::TraceCapture;

TEST(BytesToWide, ConvertsWithTheGivenCodePage) {
  const struct {
    std::string bytes;
    std::uint32_t codePage;
    WString expected;
  } cases[] = {
      {"\x48\xE9", platform::kCpLatin1, u"H\u00E9"},
      {"", platform::kCpLatin1, u""},
      {std::string("ab\0cd", 5), platform::kCpLatin1, u"ab"},  // stops at the first zero byte
      {"\x80\x9F", platform::kCpLatin1, u"\u0080\u009F"},
      {"\x80\x81", platform::kCpWindows1252, u"\u20AC\u0081"},
      {"caf\xC3\xA9", platform::kCpUtf8, u"caf\u00E9"},
      {"a\xFF" "b", platform::kCpUtf8, u"a\uFFFDb"},
  };
  for (const auto& c : cases) {
    TraceCapture trace;
    EXPECT_EQ(c.expected, text::BytesToWide(c.bytes, c.codePage)) << c.bytes;
    EXPECT_TRUE(trace.Lines().empty()) << c.bytes;
  }
}

TEST(BytesToWide, UnknownCodePageLogsOneWarningAndGivesEmptyText) {
  const struct {
    const char* bytes;
    std::uint32_t codePage;
    WString line;
  } cases[] = {
      {"ab", 12345,
       u"MultiByteToWideChar (get needed length) failed for string: \"ab\", codePage=12345"},
      {"x", 4294967295u,
       u"MultiByteToWideChar (get needed length) failed for string: \"x\", codePage=4294967295"},
      // The message travels as bytes in the thread's ANSI code page (UTF-8 here), so a page
      // byte that is not UTF-8 shows as a replacement character.
      {"\xE9t\xE9", 12345,
       u"MultiByteToWideChar (get needed length) failed for string: \"\uFFFDt\uFFFD\", "
       u"codePage=12345"},
      {nullptr, platform::kCpLatin1,
       u"MultiByteToWideChar (get needed length) failed for string: \"(null)\", codePage=28591"},
  };
  for (const auto& c : cases) {
    TraceCapture trace;
    EXPECT_EQ(u"", text::BytesToWide(c.bytes, c.codePage));
    const auto lines = trace.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(u"WRN", lines[0].tag);
    EXPECT_EQ(c.line, lines[0].text);
  }
}

TEST(BytesToWide, MegabytePage) {
  std::string page(1 << 20, 'x');
  page[1000] = '\xE9';
  const WString text = text::BytesToWide(page, platform::kCpLatin1);
  ASSERT_EQ(page.size(), text.size());
  EXPECT_EQ(u'\u00E9', text[1000]);
  EXPECT_EQ(u'x', text.back());
}

}  // namespace
