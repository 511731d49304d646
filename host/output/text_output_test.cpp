#include "output/text_output.h"

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
  EXPECT_EQ(OneLineField("a\xC2\x9B" "2Jb"), "a 2Jb");  // C1's CSI, in its UTF-8 form
}

TEST(TextOutput, LyricsForTagsEndWithTheirLastLineOfText) {
  struct Case {
    std::string lyrics;
    std::string stored;
  };
  const Case cases[] = {
      {"one\r\ntwo\r\n\r\n \r\n", "one\ntwo"},
      {"one\r\n\r\ntwo", "one\n\ntwo"},  // blank lines inside stay
      {"kept  \r\n\t\r\n", "kept  "},     // a line's own trailing blanks stay
      {"\r\n\r\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(LyricsForTag(c.lyrics), c.stored) << c.lyrics;
}

TEST(TextOutput, PathsShowOtherEncodingsAndControlsAsEscapes) {
  struct Case {
    std::string path;
    std::string shown;
  };
  const Case cases[] = {
      {"music/Chlo\xC3\xA9 - \xE2\x82\xAC.mp3", "music/Chlo\xC3\xA9 - \xE2\x82\xAC.mp3"},
      {"caf\xE9.mp3", "caf\\xE9.mp3"},                // Latin-1
      {"a\nb\x7F.mp3", "a\\x0Ab\\x7F.mp3"},           // a line break cannot split the report
      {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong, surrogate
      {"cut\xE2\x82", "cut\\xE2\\x82"},
  };
  for (const Case& c : cases) EXPECT_EQ(PrintablePath(c.path), c.shown);
}

// A text from a tag or a page cannot drive the terminal: no escape, no C1 control, no bell; in
// lines for a terminal, line ends and tabs stay.
TEST(TextOutput, NoTextCanDriveTheTerminal) {
  struct Case {
    std::string text;
    std::string printable;
    std::string terminal;
  };
  const Case cases[] = {
      {"Not Found\x1B]0;owned\x07\x1B[2J", "Not Found\\x1B]0;owned\\x07\\x1B[2J",
       "Not Found\\x1B]0;owned\\x07\\x1B[2J"},
      {"a\xC2\x9B" "31mb", "a\\xC2\\x9B31mb", "a\\xC2\\x9B31mb"},
      {"line\n\tverse\r", "line\\x0A\\x09verse\\x0D", "line\n\tverse\\x0D"},
      {"Chlo\xC3\xA9 \xC2\xA0", "Chlo\xC3\xA9 \xC2\xA0", "Chlo\xC3\xA9 \xC2\xA0"},  // NBSP is text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintableText(c.text), c.printable) << c.text;
    EXPECT_EQ(TerminalText(c.text), c.terminal) << c.text;
  }
}

}  // namespace
}  // namespace host
