#include "text/regex_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "support/trace_capture.h"

namespace {

using testing_support::TraceCapture;

// The patterns the search operations use: artist results, an artist's song list, and the
// combined artist-and-title results.
const WString kArtistPattern =
    u"<h3><a href=\"([^\"]*)\"[^>]*>(((<strong>)|(</strong>)|[^<])+)</a></h3>";
const WString kSongLinkPattern = u"<a\\s+href=\"([^\"]+)\" title[^>]*>([^<]+ Lyrics)</a></li>";
const WString kResultPattern =
    u"<h3><a href[^>]+>((([^<])|(<strong>)|(</strong>))+)</a></h3>\\s*<a href=\"([^\"]+)\" "
    u"title=\"([^\"]+) Lyrics\" >(([^<])|(<strong>)|(</strong>))+ Lyrics</a>";

// Every match's chosen groups, in page order.
std::vector<std::vector<WString>> AllMatches(const WString& text, const WString& pattern,
                                             const std::vector<std::uint32_t>& groups,
                                             bool caseSensitive = true) {
  std::vector<std::vector<WString>> matches;
  CRegexSearch search;
  if (!search.Init(text, pattern, caseSensitive)) return matches;
  while (search.FindNext()) {
    std::vector<WString> values;
    for (std::uint32_t g : groups) {
      WString value = u"<unread>";
      EXPECT_TRUE(search.GetGroup(g, value));
      values.push_back(value);
    }
    matches.push_back(values);
    if (matches.size() > 100000) break;  // a spinning walk would never end on its own
  }
  return matches;
}

using Matches = std::vector<std::vector<WString>>;

TEST(CRegexSearch, WalksMatchesLikePerl) {
  const struct {
    WString pattern;
    WString text;
    bool caseSensitive;
    Matches expected;
  } cases[] = {
      {u"[0-9]", u"a1b2c3", true, {{u"1"}, {u"2"}, {u"3"}}},
      {u"abc", u"ABC", false, {{u"ABC"}}},
      {u"abc", u"ABC", true, {}},
      {u"^x", u"xx", true, {{u"x"}}},               // later searches are not at the start
      {u"^x", u"x\nx", true, {{u"x"}, {u"x"}}},     // but after a line break they are
      {u"x$", u"x\nx", true, {{u"x"}, {u"x"}}},
      {u"\\bis\\b", u"this is", true, {{u"is"}}},   // the boundary looks behind the position
      {u"a.c", u"a\nc", true, {{u"a\nc"}}},         // "." takes line breaks too
      {u"a*", u"baa", true, {{u""}, {u"aa"}, {u""}}},  // zero-length matches move on
      {u"x*", u"", true, {}},
      {u"", u"ab", true, {{u""}, {u""}, {u""}}},        // the empty pattern ends too
      {u".", u"\U0001F600", true, {{WString(1, u'\xD83D')}, {WString(1, u'\xDE00')}}},
      {u"\u00E9+", u"caf\u00E9\u00E9!", true, {{u"\u00E9\u00E9"}}},
      {u"b", WString(u"a\0b", 3), true, {{u"b"}}},  // NUL is an ordinary unit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, AllMatches(c.text, c.pattern, {0}, c.caseSensitive))
        << "case index " << (&c - cases);
  }
}

TEST(CRegexSearch, FindNextAfterTheLastMatchKeepsFailing) {
  TraceCapture trace;
  CRegexSearch search;
  ASSERT_TRUE(search.Init(u"a1b2c3", u"[0-9]", true));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(search.FindNext());
  EXPECT_FALSE(search.FindNext());
  EXPECT_FALSE(search.FindNext());
  WString group;
  EXPECT_TRUE(search.GetGroup(0, group));  // the last match stays readable
  EXPECT_EQ(u"3", group);
  EXPECT_TRUE(trace.Lines().empty());
}

TEST(CRegexSearch, GroupsOfTheCurrentMatch) {
  TraceCapture trace;
  CRegexSearch search;
  EXPECT_EQ(0u, search.GetGroupCount());
  ASSERT_TRUE(search.Search(u"b", u"(a)|(b)", true));
  EXPECT_EQ(3u, search.GetGroupCount());
  WString group = u"old";
  EXPECT_TRUE(search.GetGroup(1, group));
  EXPECT_EQ(u"", group);  // took no part in the match
  EXPECT_TRUE(search.GetGroup(2, group));
  EXPECT_EQ(u"b", group);
  EXPECT_TRUE(trace.Lines().empty());
}

TEST(CRegexSearch, GroupIndexOutOfBounds) {
  const struct {
    bool searched;
    std::uint32_t index;
    WString line;
  } cases[] = {
      {true, 3, u"Match index out of bounds: 3 >= 3"},
      {true, 4294967295u, u"Match index out of bounds: 4294967295 >= 3"},
      {false, 0, u"Match index out of bounds: 0 >= 0"},
  };
  for (const auto& c : cases) {
    TraceCapture trace;
    CRegexSearch search;
    if (c.searched) {
      ASSERT_TRUE(search.Search(u"ab", u"(a)(b)", true));
    }
    WString group = u"kept";
    EXPECT_FALSE(search.GetGroup(c.index, group));
    EXPECT_EQ(u"kept", group);
    const auto lines = trace.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(u"ERR", lines[0].tag);
    EXPECT_EQ(c.line, lines[0].text);
  }
}

TEST(CRegexSearch, EmptyTextIsRefusedAndLeavesNothingToSearch) {
  TraceCapture trace;
  CRegexSearch search;
  EXPECT_FALSE(search.Init(u"", u"a", true));
  EXPECT_FALSE(search.FindNext());
  const auto lines = trace.Lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(u"WRN", lines[0].tag);
  EXPECT_EQ(u"Input string is empty", lines[0].text);
  EXPECT_EQ(u"ERR", lines[1].tag);
  EXPECT_EQ(u"NOT initialized (string to match is empty)", lines[1].text);
}

TEST(CRegexSearch, InvalidPatternsAreLoggedWithTheLibraryText) {
  const WString patterns[] = {u"(", u"[a-", u"a{2,1}", u"*", u"(?<", u"\\"};
  for (const WString& pattern : patterns) {
    TraceCapture trace;
    CRegexSearch search;
    EXPECT_FALSE(search.Init(u"text", pattern, true));
    EXPECT_FALSE(search.FindNext());  // the failed Init left no text
    const auto lines = trace.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(u"ERR", lines[0].tag);
    const WString prefix = u"Invalid Regex: " + pattern +
                           u"\n\t=> caught bad_expression exception: what=";
    EXPECT_EQ(prefix, lines[0].text.substr(0, prefix.size()));
    EXPECT_GT(lines[0].text.size(), prefix.size()) << "the library's own text follows";
    EXPECT_EQ(u"NOT initialized (string to match is empty)", lines[1].text);
  }
}

TEST(CRegexSearch, FailedInitDropsThePreviousMatch) {
  TraceCapture trace;
  CRegexSearch search;
  ASSERT_TRUE(search.Search(u"ab", u"(a)(b)", true));
  EXPECT_FALSE(search.Init(u"ab", u"(", true));
  WString group = u"kept";
  EXPECT_FALSE(search.GetGroup(1, group));
  EXPECT_EQ(u"kept", group);
  EXPECT_TRUE(trace.HasLine(u"Match index out of bounds: 1 >= 0"));
}

TEST(CRegexSearch, InitStartsOver) {
  CRegexSearch search;
  ASSERT_TRUE(search.Search(u"xx", u"^x", true));
  EXPECT_FALSE(search.FindNext());
  ASSERT_TRUE(search.Init(u"xy", u"^x", true));  // flags back to the start of a text
  EXPECT_TRUE(search.FindNext());
}

TEST(CRegexSearch, AbsentPatternLogsNothing) {
  TraceCapture trace;
  CRegexSearch search;
  EXPECT_FALSE(search.Search(u"nothing here", u"&#([0-9]+);", true));
  EXPECT_TRUE(trace.Lines().empty());
}

TEST(CRegexSearch, MessagesTravelInTheThreadAnsiCodePage) {
  platform::ScopedAnsiCodePage ansi(platform::kCpWindows1252);
  TraceCapture trace;
  CRegexSearch search;
  EXPECT_FALSE(search.Init(u"text", u"(\u00E9\u4E2D", true));
  const auto lines = trace.Lines();
  ASSERT_EQ(1u, lines.size());
  const WString prefix = u"Invalid Regex: (\u00E9?\n\t=> caught bad_expression exception: what=";
  EXPECT_EQ(prefix, lines[0].text.substr(0, prefix.size()));
}

TEST(CRegexSearch, MatchingErrorIsLoggedAndEndsTheWalk) {
  // Link text long enough to exhaust the library's match stack.
  const WString page = u"<h3><a href=\"/artist/x.html\">" + WString(200000, u'n') + u"</a></h3>";
  TraceCapture trace;
  CRegexSearch search;
  ASSERT_TRUE(search.Init(page, kArtistPattern, true));
  EXPECT_FALSE(search.FindNext());
  const auto lines = trace.Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(u"ERR", lines[0].tag);
  const WString prefix = u"String too complex for regexp matching: " + page.substr(0, 50) +
                         u"...\n\t=> caught runtime_error: what=";
  EXPECT_EQ(prefix, lines[0].text.substr(0, prefix.size()));
  EXPECT_GT(lines[0].text.size(), prefix.size());
}

TEST(CRegexSearch, ArtistResultsPage) {
  const WString page =
      u"<div class=\"summary\">2 artists found for <em>brass</em>.</div>\n"
      u"<div class=\"result artist\">\n"
      u"<h3><a href=\"/artist/brass-and-bellows.html\"><strong>Brass</strong> &amp; "
      u"Bellows</a></h3>\n<p class=\"meta\">12 songs</p>\n</div>\n"
      u"<div class=\"result artist\">\n"
      u"<h3><a href=\"/artist/the-brass-band.html\" class=\"artist\">The <strong>Brass</strong> "
      u"Band</a></h3>\n<p class=\"meta\">3 songs</p>\n</div>\n"
      u"<h3>Related</h3><h3><a href=\"/x.html\"><em>not a result</em></a></h3>\n";
  const Matches expected = {
      {u"/artist/brass-and-bellows.html", u"<strong>Brass</strong> &amp; Bellows"},
      {u"/artist/the-brass-band.html", u"The <strong>Brass</strong> Band"},
  };
  EXPECT_EQ(expected, AllMatches(page, kArtistPattern, {1, 2}));
}

TEST(CRegexSearch, ArtistSongListPage) {
  const WString page =
      u"<h2>Songs</h2>\n<ul class=\"songs\">\n"
      u"<li><a href=\"lyrics/brass/harbour-lights.html\" title=\"Harbour Lights lyrics\">"
      u"Harbour Lights Lyrics</a></li>\n"
      u"<li><a  href=\"lyrics/brass/rock-n-roll.html\" title=\"Rock &amp; Roll lyrics\">"
      u"Rock &amp; Roll Lyrics</a></li>\n"
      u"<li><a href=\"/artist/other.html\">Other artist</a></li>\n"
      u"</ul>\n";
  const Matches expected = {
      {u"lyrics/brass/harbour-lights.html", u"Harbour Lights Lyrics"},
      {u"lyrics/brass/rock-n-roll.html", u"Rock &amp; Roll Lyrics"},
  };
  EXPECT_EQ(expected, AllMatches(page, kSongLinkPattern, {1, 2}));
}

TEST(CRegexSearch, ArtistTitleResultsPage) {
  const WString page =
      u"<div class=\"result song\">\n"
      u"<h3><a href=\"/artist/brass.html\" class=\"artist\"><strong>Brass</strong> &amp; "
      u"Bellows</a></h3>\n"
      u"<a href=\"/lyrics/brass/harbour-lights.html\" title=\"Harbour Lights Lyrics\" >"
      u"<strong>Harbour</strong> Lights Lyrics</a>\n</div>\n"
      u"<div class=\"result song\">\n"
      u"<h3><a href=\"/artist/tide.html\" class=\"artist\">Tide</a></h3>\n"
      u"<a href=\"/lyrics/tide/harbour.html\" title=\"Harbour &quot;Live&quot; Lyrics\" >"
      u"<strong>Harbour</strong> &quot;Live&quot; Lyrics</a>\n</div>\n";
  const Matches expected = {
      {u"<strong>Brass</strong> &amp; Bellows", u"/lyrics/brass/harbour-lights.html",
       u"Harbour Lights"},
      {u"Tide", u"/lyrics/tide/harbour.html", u"Harbour &quot;Live&quot;"},
  };
  EXPECT_EQ(expected, AllMatches(page, kResultPattern, {1, 6, 7}));
}

TEST(CRegexSearch, MegabyteText) {
  WString text;
  for (int i = 0; i < 100000; ++i) text += u"ab12cd ";  // 700 000 units
  text += WString(400000, u'\xD800');                    // and a run of lone surrogates
  text += u"99";
  CRegexSearch search;
  ASSERT_TRUE(search.Init(text, u"[0-9]+", true));
  int count = 0;
  WString last;
  while (search.FindNext()) {
    ++count;
    search.GetGroup(0, last);
  }
  EXPECT_EQ(100001, count);
  EXPECT_EQ(u"99", last);
}

}  // namespace
