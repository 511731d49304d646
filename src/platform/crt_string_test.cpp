#include "platform/crt_string.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/wine.h"

namespace {

TEST(Wtoi, ReadsLikeTheMicrosoftRuntime) {
  const struct {
    const char16_t* text;
    int expected;
    const char* wineDiffers = nullptr;
  } cases[] = {
      {u"0", 0},
      {u"42", 42},
      {u"  \t\r\n\v\f17", 17},
      {u"+8", 8},
      {u"-8", -8},
      {u"12abc", 12},
      {u"3.9", 3},
      {u"00077", 77},
      {u"", 0},
      {u"abc", 0},
      {u"-", 0},
      {u"+-5", 0},
      {u"- 5", 0},
      // Wine's runtime reads these as white space and a digit; Windows' is unverified, and
      // a port number or a count in ASCII is what the plug-in ever reads.
      {u"\u00A05", 0, "Wine skips a no-break space as white space"},
      {u"\uFF15", 0, "Wine reads a full-width digit"},
      {u"2147483647", INT_MAX},
      {u"2147483648", INT_MAX},
      {u"99999999999999999999999", INT_MAX},
      {u"-2147483648", INT_MIN},
      {u"-2147483649", INT_MIN},
      {u"-99999999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) {
    if (testing_support::KnownWineDifference(c.wineDiffers)) continue;
    EXPECT_EQ(c.expected, platform::Wtoi(c.text)) << "case index " << (&c - cases);
  }
}

TEST(Wtoi, NullTextGivesZero) { EXPECT_EQ(0, platform::Wtoi(nullptr)); }

}  // namespace
