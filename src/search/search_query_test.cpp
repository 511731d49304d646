#include "search/search_query.h"

#include <gtest/gtest.h>

#include "support/fake_host.h"

namespace {

using testing_support::Narrow;

TEST(EncodeSearchText, EncodesOnlyWhatWouldCutOrBendTheQuery) {
  const struct {
    const char16_t* input;
    const char16_t* expected;
  } cases[] = {
      {u"Salt & Pepper", u"Salt %26 Pepper"},
      {u"100% Pure", u"100%25 Pure"},
      {u"C# Minor", u"C%23 Minor"},
      {u"A+B", u"A%2BB"},
      {u"%26", u"%2526"},            // an escape in the name stays text
      {u"&&##++%%", u"%26%26%23%23%2B%2B%25%25"},
      {u"Chlo\u00E9 \"Q\" <x> =?/", u"Chlo\u00E9 \"Q\" <x> =?/"},  // left to the download path
      {u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WString(c.expected), search::EncodeSearchText(c.input)) << Narrow(c.input);
  }
}

TEST(SearchAddress, SiteHostPathAndCategory) {
  EXPECT_EQ(u"lyrics.example/search.php?search=Salt %26 Pepper&category=artist",
            search::ArtistSearchAddress(u"lyrics.example", u"Salt & Pepper"));
  EXPECT_EQ(u"lyrics.example/search.php?search= Song%23 1&category=artisttitle",
            search::ArtistTitleSearchAddress(u"lyrics.example", u" Song# 1"));
  EXPECT_EQ(u"h/search.php?search=&category=artist", search::ArtistSearchAddress(u"h", u""));
}

}  // namespace
