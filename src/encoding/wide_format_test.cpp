#include "encoding/wide_format.h"

#include <gtest/gtest.h>

#include "support/fake_host.h"

using encoding::Format;
using testing_support::Narrow;

namespace {

struct Case {
  WString expected;
  WString actual;
};

TEST(WideFormat, ConversionsMatchPrintf) {
  const WString wide = u"w\u00e9de";
  const Case cases[] = {
      {u"plain text", Format(u"plain text")},
      {u"100%", Format(u"100%%")},
      {u"07:05:09.004", Format(u"%02d:%02d:%02d.%03d", 7, 5, 9, 4)},
      {u"1A2B", Format(u"%X", 0x1a2b)},
      {u"1a2b", Format(u"%x", 0x1a2b)},
      {u"FFFFFFFF", Format(u"%X", -1)},
      {u"4294967295", Format(u"%u", -1)},
      {u"-42", Format(u"%d", -42)},
      {u"-2147483648", Format(u"%d", static_cast<std::int64_t>(-2147483648LL))},
      {u"+5", Format(u"%+d", 5)},
      {u"[   ab]", Format(u"[%5s]", u"ab")},
      {u"[ab   ]", Format(u"[%-5s]", u"ab")},
      {u"[-0042]", Format(u"[%05d]", -42)},
      {u"abc", Format(u"%.3s", u"abcdef")},
      {u"w\u00e9de!", Format(u"%s!", wide)},
      {u"narrow", Format(u"%hs", "narrow")},
      {u"x", Format(u"%c", u'x')},
      {u"3.50", Format(u"%.2f", 3.5)},
      {u"20250101_000000_1F.txt",
       Format(u"%04d%02d%02d_%02d%02d%02d_%X.txt", 2025, 1, 1, 0, 0, 0, 31u)},
      {u"0x1f", Format(u"%#x", 31)},
      {u"12345678901", Format(u"%I64d", 12345678901LL)},
      {u"[  7]", Format(u"[%*d]", 3, 7)},
  };
  for (const auto& c : cases) EXPECT_EQ(Narrow(c.expected), Narrow(c.actual));
}

TEST(WideFormat, MissingOrMismatchedArgumentsWriteNothing) {
  const Case cases[] = {
      {u"a  b", Format(u"a %d b")},
      {u"a  b", Format(u"a %s b", 5)},
      {u"a  b", Format(u"a %d b", u"text")},
      {u"end", Format(u"end%")},
  };
  for (const auto& c : cases) EXPECT_EQ(Narrow(c.expected), Narrow(c.actual));
  EXPECT_EQ(WString(), encoding::FormatWide(nullptr, {}));
}

}  // namespace
