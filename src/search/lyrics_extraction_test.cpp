#include "search/lyrics_extraction.h"

#include <gtest/gtest.h>

#include <random>

#include "support/lyrics_text_reference.h"
#include "support/fake_host.h"

namespace {

using testing_support::Narrow;

struct TextCase {
  const char16_t* input;
  const char16_t* expected;
};

TEST(ReplaceBreakTag, DeletesNextToALineEndElseBreaks) {
  const TextCase cases[] = {
      {u"a<br>b", u"a\r\nb"},
      {u"a<br>\nb", u"a\nb"},           // a line end behind: deleted
      {u"a\r<br>b", u"a\rb"},           // a line end before: deleted
      {u"a<br>", u"a\r\n"},             // ends the text
      {u"<br>a", u"\r\na"},             // starts the text, no line end behind
      {u"<br>", u"\r\n"},
      {u"a<br><br>b", u"a\r\nb"},       // the second one now follows the LF
      {u"a<br><br><br>b", u"a\r\nb"},
      {u"a<BR>b<Br>c", u"a<BR>b<Br>c"},  // exact case only
      {u"", u""},
      {u"no tag", u"no tag"},
  };
  for (const TextCase& c : cases) {
    WString text = c.input;
    search::ReplaceBreakTag(text, u"<br>");
    EXPECT_EQ(WString(c.expected), text) << Narrow(c.input);
  }
}

TEST(NormalizeLineEnds, EveryBreakBecomesOneCrLf) {
  const TextCase cases[] = {
      {u"a\nb", u"a\r\nb"},
      {u"a\rb", u"a\r\nb"},
      {u"a\r\nb", u"a\r\nb"},
      {u"a\n\nb", u"a\r\nb"},                // a pair of line ends is one break
      {u"a\r\rb", u"a\r\nb"},
      {u"a\n\rb", u"a\r\nb"},
      {u"a\r\n\r\nb", u"a\r\n\r\nb"},        // two separate breaks: an empty line
      {u"a\n\n\n\nb", u"a\r\n\r\nb"},
      {u"a\n\n\nb", u"a\r\nb"},              // the third merges into the break
      {u"a\r\n\nb", u"a\r\nb"},
      {u"a\n\r\nb", u"a\r\nb"},
      {u"a<sbrNewline>b", u"a\r\nb"},        // the marker in the text is a break too
      {u"a\n<sbrNewline>b", u"a\r\nb"},
      {u"\r\r\r", u"\r\n"},
      {u"", u""},
      {u"plain", u"plain"},
  };
  for (const TextCase& c : cases) {
    WString text = c.input;
    search::NormalizeLineEnds(text);
    EXPECT_EQ(WString(c.expected), text) << Narrow(c.input);
  }
}

TEST(BreaksToLineEnds, DocumentedCases) {
  const TextCase cases[] = {
      {u"one<br>\ntwo", u"one\r\ntwo"},
      {u"one<br />two<br/>three", u"one\r\ntwo\r\nthree"},
      {u"one<BR/>two", u"one<BR/>two"},     // left for StripTags
      {u"one<br><br>two", u"one\r\ntwo"},
      {u"one<br>", u"one\r\n"},
      {u"one\n\ntwo", u"one\r\ntwo"},
      {u"one\r\n\r\ntwo", u"one\r\n\r\ntwo"},
      {u"one<BR>\r\ntwo<br>three", u"one\r\ntwo\r\nthree"},
  };
  for (const TextCase& c : cases) {
    WString text = c.input;
    search::BreaksToLineEnds(text);
    EXPECT_EQ(WString(c.expected), text) << Narrow(c.input);
  }
}

// Random texts built from the pieces that matter, against the step-by-step procedures.
TEST(BreaksToLineEnds, SameAsTheStepByStepProcedure) {
  const WString pieces[] = {u"\r", u"\n", u"\r\n", u"a", u" ", u"<br>", u"<BR>", u"<br />",
                            u"<br/>", u"<sbrNewline>", u"<sbr", u"Newline>", u"<", u"br>"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 20000; ++round) {
    WString text;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
    WString expected = text;
    LiteralBreaksToLineEnds(expected);
    WString actual = text;
    search::BreaksToLineEnds(actual);
    ASSERT_EQ(expected, actual) << "input: " << Narrow(text);
  }
}

TEST(NormalizeLineEnds, SameAsTheStepByStepProcedureOnLineEndRuns) {
  // Every text of up to eight characters over CR, LF and a letter.
  const char16_t alphabet[] = {u'\r', u'\n', u'x'};
  for (int length = 0; length <= 8; ++length) {
    int combinations = 1;
    for (int i = 0; i < length; ++i) combinations *= 3;
    for (int n = 0; n < combinations; ++n) {
      WString text;
      for (int i = 0, rest = n; i < length; ++i, rest /= 3) text += alphabet[rest % 3];
      WString expected = text;
      LiteralNormalizeLineEnds(expected);
      WString actual = text;
      search::NormalizeLineEnds(actual);
      ASSERT_EQ(expected, actual) << "input: " << Narrow(text);
    }
  }
}

}  // namespace
