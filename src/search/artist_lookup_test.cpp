#include "search/artist_lookup.h"

#include <gtest/gtest.h>

#include <random>

#include "support/lyrics_text_reference.h"
#include "support/fake_host.h"

namespace {

using testing_support::Narrow;

TEST(StripTags, RemovesEachRunFromLessThanToTheNextGreaterThan) {
  const struct {
    const char16_t* input;
    const char16_t* expected;
  } cases[] = {
      {u"a<b>c", u"ac"},
      {u"<strong>Ab</strong>ba", u"Abba"},
      {u"<strong>Brass</strong> &amp; <strong>Bellows</strong>", u"Brass &amp; Bellows"},
      {u"a<b", u"a<b"},              // no ">" after it: stays with the rest
      {u"a<b>c<d", u"ac<d"},
      {u"a>b<c>d", u"a>bd"},         // a ">" before any "<" stays
      {u"<<a>>", u">"},              // first "<" to the first ">" after it
      {u"x<a<b>y", u"xy"},
      {u"<>", u""},
      {u"", u""},
      {u"no tags", u"no tags"},
      {u"<i>one</i>\r\n<b>two</b>", u"one\r\ntwo"},
  };
  for (const auto& c : cases) {
    WString text = c.input;
    search::StripTags(text);
    EXPECT_EQ(WString(c.expected), text) << Narrow(c.input);
  }
}

TEST(StripTags, SameAsRemovingTheFirstTagUntilNoneIsLeft) {
  const char16_t alphabet[] = {u'<', u'>', u'a', u'b'};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    WString text;
    const int length = static_cast<int>(random() % 16);
    for (int i = 0; i < length; ++i) text += alphabet[random() % 4];
    WString expected = text;
    LiteralStripTags(expected);
    WString actual = text;
    search::StripTags(actual);
    ASSERT_EQ(expected, actual) << "input: " << Narrow(text);
  }
}

}  // namespace
