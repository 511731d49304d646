#include "text_output.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(TextOutput, LyricsLoseTheCarriageReturnOfEachLineEndUnlessRaw) {
  struct Case {
    std::string lyrics;
    std::string lf;
  };
  const Case cases[] = {
      {"one\r\ntwo", "one\ntwo"},   {"one\r\n\r\ntwo\r\n", "one\n\ntwo\n"},
      {"lone\rcr", "lone\rcr"},  // only CR LF pairs are line ends here
      {"trailing\r", "trailing\r"}, {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LyricsForOutput(c.lyrics, false), c.lf);
    EXPECT_EQ(LyricsForOutput(c.lyrics, true), c.lyrics);
  }
}

TEST(TextOutput, OneLineFieldsCannotBreakARecord) {
  EXPECT_EQ(OneLineField("Title\twith\r\nbreaks\x01"), "Title with  breaks ");
  EXPECT_EQ(OneLineField("Chlo\xC3\xA9"), "Chlo\xC3\xA9");
}

}  // namespace
}  // namespace host
