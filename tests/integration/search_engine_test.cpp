// The four search operations of a CTunewell object against pages each test writes, served on
// 127.0.0.1 by search_page_server.py; the test host answers "HttpProxy" with that server, so
// the plug-in's requests go out in proxy form for the site host, as they would to a real
// proxy. Nothing of the download path is replaced.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "plugin/tunewell.h"
#include "servers/search_page_server.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"
#include "support/wine.h"

namespace {

using testing_support::FakeHostCallback;
using testing_support::Narrow;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::VectorSongList;

const WString kSite = CTunewell::kSiteHost;

// Test pages are ISO 8859-1 bytes: every byte stands for the character of the same value.
WString Latin1(const std::string& bytes) {
  WString text;
  for (unsigned char c : bytes) text += static_cast<char16_t>(c);
  return text;
}

std::string ArtistSearch(const std::string& wireText) {
  return "/search.php?search=" + wireText + "&category=artist";
}

std::string SongSearch(const std::string& wireText) {
  return "/search.php?search=" + wireText + "&category=artisttitle";
}

// The furniture around the content: scripts and navigation that hold markup of their own.
std::string Layout(const std::string& content) {
  return "<!DOCTYPE html>\r\n<html><head><title>Lyrics</title>\r\n"
         "<script>document.write('<div class=\"ad\">');</script></head>\r\n"
         "<body><div id=\"nav\"><a href=\"/\">Home</a> | <a href=\"/browse/A.html\">A</a></div>\r\n"
         "<div id=\"content\">\r\n" + content + "\r\n</div>\r\n"
         "<div id=\"footer\">Lyrics for everyone</div></body></html>\r\n";
}

struct ArtistHit {
  std::string link;
  std::string html;  // the displayed name as written in the page
};

std::string ArtistResults(const std::vector<ArtistHit>& hits) {
  std::string content = "<h2>Artists</h2>\r\n";
  for (const ArtistHit& hit : hits) {
    content += "<div class=\"hit\"><h3><a href=\"" + hit.link + "\">" + hit.html +
               "</a></h3>\r\n<p>Songs and lyrics</p></div>\r\n";
  }
  return Layout(content);
}

struct SongLink {
  std::string link;
  std::string text;  // the link text without " Lyrics"
};

std::string ArtistPage(const std::vector<SongLink>& links) {
  std::string content = "<h1>Songs</h1>\r\n<ul class=\"songs\">\r\n";
  for (const SongLink& song : links) {
    content += "<li><a href=\"" + song.link + "\" title=\"" + song.text + " lyrics\">" +
               song.text + " Lyrics</a></li>\r\n";
  }
  return Layout(content + "</ul>");
}

struct SongHit {
  std::string artistHtml;
  std::string link;
  std::string title;  // the title attribute without " Lyrics"
  std::string textHtml;
};

std::string SongResults(const std::vector<SongHit>& hits) {
  std::string content = "<h2>Songs</h2>\r\n";
  for (const SongHit& hit : hits) {
    content += "<div class=\"hit\"><h3><a href=\"/artist/x.html\">" + hit.artistHtml +
               "</a></h3>\r\n  <a href=\"" + hit.link + "\" title=\"" + hit.title +
               " Lyrics\" >" + hit.textHtml + " Lyrics</a></div>\r\n";
  }
  return Layout(content);
}

// The proxy request's target as Windows writes it: Wine adds the default port to the address
// ("http://host:80/path"), which these tests of the path's escaping let pass.
std::string TargetOf(const test_servers::PageRequest& request) {
  std::string target = request.target;
  const std::string withPort = "http://" + Narrow(kSite) + ":80/";
  if (target.rfind(withPort, 0) == 0 &&
      testing_support::KnownWineDifference("Wine writes :80 into a proxy request's address")) {
    target.erase(withPort.size() - 4, 3);
  }
  return target;
}

class SearchEngine : public testing::Test {
 protected:
  SearchEngine() {
    host.httpProxy = server.Proxy();
    plugin.SetHostCallback(&host);
  }

  int QueryCancels() const { return host.CountCalls("QueryCancel"); }
  int ThresholdQueries() const { return host.CountCalls("QueryValue MaxMatchDifference"); }

  TraceCapture trace;
  test_servers::SearchPageServer server;
  FakeHostCallback host;
  CTunewell plugin;
};

// ---------------------------------------------------------------------------------------
// FindArtist

TEST_F(SearchEngine, FindArtistRefusesNamesWithoutALeadingAsciiLetterOrDigit) {
  for (const char16_t* name : {u"!Abba", u" Abba", u"\u00C9lise Fontaine", u"", u"'Til Dawn"}) {
    WString url = u"untouched";
    EXPECT_EQ(0, plugin.FindArtist(name, url)) << Narrow(name);
    EXPECT_EQ(u"untouched", url);
  }
  EXPECT_TRUE(server.Requests().empty()) << "no network access";
  EXPECT_EQ(0, ThresholdQueries());
  EXPECT_TRUE(trace.Lines().empty());

  server.Serve(ArtistSearch("2Rivers"), ArtistResults({{"/artist/2rivers.html", "2Rivers"}}));
  WString url;
  EXPECT_EQ(1, plugin.FindArtist(u"2Rivers", url)) << "a leading digit is searched";
  EXPECT_EQ(kSite + u"/artist/2rivers.html", url);
}

struct ArtistCase {
  const char* what;
  std::vector<ArtistHit> page;
  std::optional<float> threshold;
  std::string expectedLink;  // empty: nothing accepted
  bool answersZero = false;  // the host writes the threshold but answers 0
};

TEST_F(SearchEngine, FindArtistPicksTheFirstClosestCandidateStrictlyBelowTheThreshold) {
  const ArtistCase cases[] = {
      {"equal up to case", {{"/a/abbas", "Abbas"}, {"/a/abba", "ABBA"}}, {}, "/a/abba"},
      {"one letter more is refused at 1.0", {{"/a/abbas", "Abbas"}}, {}, ""},
      {"one letter replaced is refused at 1.0", {{"/a/abbo", "Abbo"}}, {}, ""},
      {"a looser threshold accepts it", {{"/a/abbas", "Abbas"}}, 100.0f, "/a/abbas"},
      {"the threshold itself is not below", {{"/a/abbas", "Abbas"}}, 70.0f, ""},
      {"ties keep the first", {{"/a/abbo", "Abbo"}, {"/a/abbu", "Abbu"}}, 200.0f, "/a/abbo"},
      {"a closer later one wins", {{"/a/abbo", "Abbo"}, {"/a/abbas", "Abbas"}}, 200.0f,
       "/a/abbas"},
      {"highlight tags are not compared", {{"/a/abba", "<strong>Ab</strong>ba"}}, {}, "/a/abba"},
      {"decoded before stripped", {{"/a/abba", "&lt;b&gt;Abba&lt;/b&gt;"}}, {}, "/a/abba"},
      {"no candidates", {}, 200.0f, ""},
      {"what the host writes holds, whatever it answers", {{"/a/abba", "ABBA"}}, 0.0f, "", true},
  };
  for (const ArtistCase& c : cases) {
    SCOPED_TRACE(c.what);
    server.Serve(ArtistSearch("Abba"), ArtistResults(c.page));
    host.maxMatchDifference = c.threshold;
    host.answersZero = c.answersZero;
    WString url;
    const int result = plugin.FindArtist(u"Abba", url);
    EXPECT_EQ(c.expectedLink.empty() ? 0 : 1, result);
    EXPECT_EQ(c.expectedLink.empty() ? WString() : kSite + Latin1(c.expectedLink), url);
  }
}

TEST_F(SearchEngine, FindArtistStopsAtAnExactMatchAndAsksForCancellationPerCandidate) {
  server.Serve(ArtistSearch("Abba"), ArtistResults({{"/a/abbo", "Abbo"},
                                                    {"/a/abba", "abba"},
                                                    {"/a/abba2", "Abba"},
                                                    {"/a/abbu", "Abbu"}}));
  host.maxMatchDifference = 200.0f;
  WString url;
  EXPECT_EQ(1, plugin.FindArtist(u"Abba", url));
  EXPECT_EQ(kSite + u"/a/abba", url);
  EXPECT_EQ(1 + 2, QueryCancels()) << "one for the download, one per candidate up to the exact one";
  EXPECT_EQ(1, ThresholdQueries());
}

TEST_F(SearchEngine, FindArtistMatchesAnAmpersandWrittenAsAReference) {
  server.Serve(ArtistSearch("Salt%20%26%20Pepper"),
               ArtistResults({{"/a/salt", "<strong>Salt</strong> &amp; <strong>Pepper</strong>"}}));
  WString url;
  EXPECT_EQ(1, plugin.FindArtist(u"Salt & Pepper", url));
  EXPECT_EQ(kSite + u"/a/salt", url);
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ("http://" + Narrow(kSite) + ArtistSearch("Salt%20%26%20Pepper"),
            TargetOf(server.Requests()[0]))
      << "the ampersand of the name stays inside the search value";
}

TEST_F(SearchEngine, FindArtistFailures) {
  WString url = u"stale";
  EXPECT_EQ(0, plugin.FindArtist(u"Nobody", url)) << "the search page is not there (404)";
  EXPECT_EQ(u"stale", url);

  server.Serve(ArtistSearch("Abba"), ArtistResults({{"/a/abbo", "Abbo"}}));
  EXPECT_EQ(0, plugin.FindArtist(u"Abba", url)) << "nothing close enough";
  EXPECT_EQ(u"stale", url) << "an address the host left in the string is neither kept as a "
                              "result nor cleared";

  server.Serve(ArtistSearch("Abba"), ArtistResults({{"/a/abba", "Abba"}}));
  host.CancelAfter(1);  // the download's question passes, the first candidate's does not
  url.clear();
  EXPECT_EQ(0, plugin.FindArtist(u"Abba", url));
  EXPECT_TRUE(url.empty());

  host.Resume();
  host.maxMatchDifference = 200.0f;
  server.Serve(ArtistSearch("Abba"), ArtistResults({{"/a/abbo", "Abbo"}, {"/a/abba", "Abba"}}));
  host.CancelAfter(2);  // cancelled at the second candidate, after the first was chosen
  EXPECT_EQ(0, plugin.FindArtist(u"Abba", url));

  CTunewell alone;  // no host callback: nothing is downloaded
  const std::size_t requests = server.Requests().size();
  EXPECT_EQ(0, alone.FindArtist(u"Abba", url));
  EXPECT_EQ(requests, server.Requests().size());
}

// The artist cache is created by the host's "LocalCacheFolder".
class SearchEngineWithCache : public SearchEngine {
 protected:
  SearchEngineWithCache() {
    const WString folder = cacheFolder.wpath();
    cacheCreated = plugin.SetProperty(u"LocalCacheFolder", &folder) == 1;
  }
  TempDir cacheFolder;
  bool cacheCreated = false;
};

TEST_F(SearchEngineWithCache, EveryCandidateUpToTheExactMatchIsCached) {
  ASSERT_TRUE(cacheCreated);
  server.Serve(ArtistSearch("Kestrel"), ArtistResults({{"/artist/kestrels.html", "Kestrels"},
                                                       {"/artist/kestrel.html", "<strong>Kestrel</strong>"},
                                                       {"/artist/kestrel-uk.html", "Kestrel UK"}}));
  WString url;
  ASSERT_EQ(1, plugin.FindArtist(u"Kestrel", url));
  EXPECT_EQ(kSite + u"/artist/kestrel.html", url);
  EXPECT_EQ(1u, server.Requests().size());

  // Answered from the cache: the neighbour seen before the exact match, and the artist itself.
  const struct {
    const char16_t* name;
    const char16_t* link;
  } cached[] = {{u"Kestrels", u"/artist/kestrels.html"}, {u"KESTREL", u"/artist/kestrel.html"}};
  for (const auto& c : cached) {
    WString answer;
    EXPECT_EQ(1, plugin.FindArtist(c.name, answer)) << Narrow(c.name);
    EXPECT_EQ(kSite + c.link, answer);
    EXPECT_TRUE(trace.HasLine(u"ArtistUrl found in local cache. " + WString(c.name) + u", " +
                              answer));
  }
  EXPECT_EQ(1u, server.Requests().size()) << "no download for a cache hit";

  // The candidate after the exact match was neither compared nor cached.
  server.Serve(ArtistSearch("Kestrel%20UK"), ArtistResults({}));
  EXPECT_EQ(0, plugin.FindArtist(u"Kestrel UK", url));
  EXPECT_EQ(2u, server.Requests().size());
}

TEST_F(SearchEngineWithCache, ACacheHitNeedsNoHostCallback) {
  ASSERT_TRUE(cacheCreated);
  server.Serve(ArtistSearch("Xylo"), ArtistResults({{"/artist/xylo.html", "Xylo"}}));
  WString url;
  ASSERT_EQ(1, plugin.FindArtist(u"Xylo", url));
  plugin.SetHostCallback(nullptr);
  url.clear();
  EXPECT_EQ(1, plugin.FindArtist(u"Xylo", url));
  EXPECT_EQ(kSite + u"/artist/xylo.html", url);
  int infoLines = 0;
  for (const auto& line : trace.Lines()) {
    infoLines += line.text.rfind(u"ArtistUrl found in local cache. ", 0) == 0 ? 1 : 0;
  }
  EXPECT_EQ(1, infoLines);
  EXPECT_EQ(0, plugin.FindArtist(u"Xylophone", url)) << "a miss needs the site, which needs the host";
}

// ---------------------------------------------------------------------------------------
// FindArtistSongList

TEST_F(SearchEngine, FindArtistSongListListsEverySongLinkOfTheArtistPage) {
  server.Serve(ArtistSearch("brass%20%26%20bellows"),
               ArtistResults({{"/artist/brass-and-bellows.html", "Brass &amp; Bellows"}}));
  server.Serve("/artist/brass-and-bellows.html",
               ArtistPage({{"lyrics/bb/fish-and-chips.html", "Fish &amp; Chips"},
                           {"lyrics/bb/caf\xE9.html", "Caf&eacute; Lyrics Bar"},
                           {"lyrics/bb/twice.html", "Twice"},
                           {"lyrics/bb/twice.html", "Twice"}}));
  VectorSongList songs;
  songs.Append(SongEntry{u"old", u"old", {}, u"old", 0, {}, {}, {}});
  EXPECT_EQ(4, plugin.FindArtistSongList(u"brass & bellows", &songs));
  const WString titles[] = {u"Fish & Chips", u"Caf\u00E9 Bar", u"Twice", u"Twice"};
  const WString links[] = {u"lyrics/bb/fish-and-chips.html", u"lyrics/bb/caf\u00E9.html",
                           u"lyrics/bb/twice.html", u"lyrics/bb/twice.html"};
  WString sourceId;
  plugin.GetProperty(u"SourceId", &sourceId);
  ASSERT_EQ(4u, songs.entries.size()) << "the old entry is gone, duplicates stay";
  for (std::size_t i = 0; i < 4; ++i) {
    const SongEntry& entry = songs.entries[i];
    EXPECT_EQ(titles[i], entry.title);
    EXPECT_EQ(u"brass & bellows", entry.artist) << "the host's spelling, not the site's";
    EXPECT_EQ(kSite + u"/" + links[i], entry.url);
    EXPECT_EQ(u"Tunewell", entry.sourceName);
    EXPECT_EQ(sourceId, entry.sourceId);
    EXPECT_TRUE(entry.hostText1.empty() && entry.hostText2.empty() && entry.hostFlag == 0);
  }
}

TEST_F(SearchEngine, FindArtistSongListFailures) {
  const SongEntry old{u"old", u"old", {}, u"old", 0, {}, {}, {}};
  VectorSongList songs;
  songs.Append(old);

  EXPECT_EQ(0, plugin.FindArtistSongList(u"Nobody", &songs)) << "artist not found";
  EXPECT_EQ(1, songs.GetCount());
  EXPECT_TRUE(trace.Contains(u"WRN", u"FindArtistSongList():Can not find artistUrl for: Nobody"));

  server.Serve(ArtistSearch("Ghost"), ArtistResults({{"/artist/ghost.html", "Ghost"}}));
  EXPECT_EQ(0, plugin.FindArtistSongList(u"Ghost", &songs)) << "artist page missing (404)";
  EXPECT_EQ(1, songs.GetCount());
  EXPECT_FALSE(trace.Contains(u"WRN", u"Can not find any Lyrics for: Ghost"));

  server.Serve("/artist/ghost.html", ArtistPage({}));
  EXPECT_EQ(0, plugin.FindArtistSongList(u"Ghost", &songs)) << "no song links";
  EXPECT_EQ(0, songs.GetCount()) << "emptied";
  EXPECT_TRUE(trace.HasLine(u"FindArtistSongList():Can not find any Lyrics for: Ghost"));

  server.Serve("/artist/ghost.html", ArtistPage({{"lyrics/g/1.html", "One"},
                                                 {"lyrics/g/2.html", "Two"},
                                                 {"lyrics/g/3.html", "Three"}}));
  // Questions: search download, one candidate, artist page download, then one per song.
  host.CancelAfter(3 + 2);
  EXPECT_EQ(0, plugin.FindArtistSongList(u"Ghost", &songs)) << "cancelled at the third song";
  ASSERT_EQ(2, songs.GetCount()) << "what was appended stays";
  EXPECT_EQ(u"Two", songs.entries[1].title);

  host.Resume();
  EXPECT_EQ(0, plugin.FindArtistSongList(u"Ghost", nullptr)) << "no list, nothing to fill";
}

// ---------------------------------------------------------------------------------------
// FindSong

struct SongCase {
  const char* what;
  std::vector<SongHit> page;
  std::optional<float> threshold;
  std::string expectedLink;  // empty: nothing appended
  std::string expectedTitle;
  bool answersZero = false;  // the host writes the threshold but answers 0
};

TEST_F(SearchEngine, FindSongKeepsOneRunningBoundForArtistAndTitle) {
  const SongCase cases[] = {
      {"equal up to case and white space",
       {{"<strong>ABBA</strong>", "/lyrics/abba/sos.html", " sos ", "<strong>SOS</strong>"}},
       {}, "/lyrics/abba/sos.html", " sos "},
      {"title one letter off at 1.0", {{"Abba", "/l/soss", "SOSS", "SOSS"}}, {}, "", ""},
      {"artist one letter off at 1.0", {{"Abbas", "/l/sos", "SOS", "SOS"}}, {}, "", ""},
      {"an exact artist ends the scan even with a title off",
       {{"Abba", "/l/soss", "SOSS", "SOSS"}, {"Abba", "/l/sos", "SOS", "SOS"}}, 200.0f,
       "/l/soss", "SOSS"},
      {"the bound becomes the artist distance, not the title distance",
       {{"Abbas", "/l/1", "SOS", "SOS"}, {"Abba!", "/l/2", "SOS!!", "SOS!!"}}, 200.0f, "/l/2",
       "SOS!!"},
      {"the title must beat the held artist distance too",
       {{"Abbas", "/l/1", "SOS", "SOS"}, {"Abba!", "/l/2", "SOSS", "SOSS"}}, 200.0f, "/l/1",
       "SOS"},
      {"ties keep the first",
       {{"Abbo", "/l/1", "SOS", "SOS"}, {"Abbu", "/l/2", "SOS", "SOS"}}, 200.0f, "/l/1", "SOS"},
      {"tags stripped before decoding",
       {{"&lt;b&gt;Abba&lt;/b&gt;", "/l/1", "SOS", "SOS"}}, {}, "", ""},
      {"the title is decoded", {{"Abba", "/l/1", "S&amp;OS", "S&amp;OS"}}, 100.0f, "/l/1", "S&OS"},
      {"what the host writes holds, whatever it answers",
       {{"Abba", "/l/sos", "SOS", "SOS"}}, 0.0f, "", "", true},
  };
  for (const SongCase& c : cases) {
    SCOPED_TRACE(c.what);
    server.Serve(SongSearch("Abba%20SOS"), SongResults(c.page));
    host.maxMatchDifference = c.threshold;
    host.answersZero = c.answersZero;
    VectorSongList songs;
    const int result = plugin.FindSong(u"Abba", u"SOS", &songs, 0);
    if (c.expectedLink.empty()) {
      EXPECT_EQ(0, result);
      EXPECT_EQ(0, songs.GetCount());
      continue;
    }
    EXPECT_EQ(1, result);
    ASSERT_EQ(1, songs.GetCount());
    EXPECT_EQ(kSite + Latin1(c.expectedLink), songs.entries[0].url) << "no separator added";
    EXPECT_EQ(Latin1(c.expectedTitle), songs.entries[0].title);
    EXPECT_EQ(u"Abba", songs.entries[0].artist);
    EXPECT_EQ(u"Tunewell", songs.entries[0].sourceName);
  }
}

TEST_F(SearchEngine, FindSongResultsAppendAndReturnMinusOneOnRequest) {
  server.Serve(SongSearch("Abba%20SOS"), SongResults({{"Abba", "/l/sos", "SOS", "SOS"}}));
  VectorSongList songs;
  EXPECT_EQ(1, plugin.FindSong(u"Abba", u"SOS", &songs, 0));
  EXPECT_EQ(-1, plugin.FindSong(u"Abba", u"SOS", &songs, 1));
  EXPECT_EQ(2, songs.GetCount()) << "the list is not emptied between calls";
  EXPECT_EQ(2, ThresholdQueries());

  server.Serve(SongSearch("Abba%20SOS"), SongResults({{"Abba", "/l/sos", "Waterloo", "Waterloo"}}));
  EXPECT_EQ(0, plugin.FindSong(u"Abba", u"SOS", &songs, 1)) << "no match with the option set";
  EXPECT_EQ(2, songs.GetCount());
}

TEST_F(SearchEngine, FindSongArgumentForms) {
  VectorSongList songs;
  EXPECT_EQ(0, plugin.FindSong(u"", u"", &songs, 1));
  EXPECT_TRUE(server.Requests().empty());

  // An empty artist still searches, with the text starting with a space.
  server.Serve(SongSearch("%20SOS"), SongResults({{"", "/l/sos", "SOS", "SOS"}}));
  EXPECT_EQ(0, plugin.FindSong(u"", u"SOS", &songs, 0)) << "the heading cannot be empty";
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ("http://" + Narrow(kSite) + SongSearch("%20SOS"), TargetOf(server.Requests()[0]));

  // An empty title lists the artist's songs instead, emptying the list, never -1.
  server.Serve(ArtistSearch("Xylo"), ArtistResults({{"/artist/xylo.html", "Xylo"}}));
  server.Serve("/artist/xylo.html", ArtistPage({{"lyrics/x/1.html", "One"},
                                                {"lyrics/x/2.html", "Two"}}));
  songs.Append(SongEntry{u"old", u"old", {}, u"old", 0, {}, {}, {}});
  EXPECT_EQ(2, plugin.FindSong(u"Xylo", u"", &songs, 1));
  ASSERT_EQ(2, songs.GetCount());
  EXPECT_EQ(kSite + u"/lyrics/x/1.html", songs.entries[0].url);

  // The four characters that would bend the query are encoded, the rest left to the download.
  server.Serve(SongSearch("A%2BB%20100%25%20%231"), SongResults({{"A+B", "/l/1", "100% #1",
                                                                 "100% #1"}}));
  EXPECT_EQ(1, plugin.FindSong(u"A+B", u"100% #1", &songs, 0));
  EXPECT_EQ(0, plugin.FindSong(u"A+B", u"SOS", nullptr, 0)) << "no list, nothing to fill";
}

TEST_F(SearchEngine, FindSongFailures) {
  VectorSongList songs;
  EXPECT_EQ(0, plugin.FindSong(u"Abba", u"SOS", &songs, 1)) << "search page missing (404)";
  EXPECT_EQ(0, ThresholdQueries()) << "the threshold is asked only for a downloaded page";

  server.Serve(SongSearch("Abba%20SOS"), SongResults({{"Abba", "/l/1", "SOS", "SOS"}}));
  host.CancelAfter(1);
  EXPECT_EQ(0, plugin.FindSong(u"Abba", u"SOS", &songs, 1)) << "cancelled at the first result";
  EXPECT_EQ(0, songs.GetCount());
}

// ---------------------------------------------------------------------------------------
// GetLyrics

struct LyricsCase {
  const char* what;
  std::string page;
  int result;
  const char16_t* text;
};

TEST_F(SearchEngine, GetLyricsCutsTheBlockAndCleansIt) {
  const std::string head = "<html><head><title>x</title></head><body>\r\n";
  const std::string tail = "\r\n<p class=\"credit\">Lyrics \xA9 2024</p></body></html>";
  const LyricsCase cases[] = {
      {"a plain block",
       head + "<div id=\"lyrics\">\r\n<p>One &amp; two<br>\r\nthree</p>\r\n\r\n<p>four</p>\r\n</div>" + tail,
       1, u"One & two\r\nthree\r\n\r\nfour"},
      {"Latin-1 letters and references", head + "<div id=\"lyrics\">Caf\xE9 &eacute;t&#233;</div>",
       1, u"Caf\u00E9 \u00E9t\u00E9"},
      {"an encoded tag is a tag", head + "<div id=\"lyrics\">&lt;i&gt;la&lt;/i&gt; la</div>", 1,
       u"la la"},
      {"break tags", head + "<div id=\"lyrics\">a<br />b<br/>c<BR/>d<br><br>e<br></div>", 1,
       u"a\r\nb\r\ncd\r\ne"},
      {"the first end after the start",
       "</div>" + head + "<div id=\"lyrics\">a<div>b</div>c</div>", 1, u"ab"},
      {"unclosed, ends at the copyright sign",
       head + "<div id=\"lyrics\">\r\nFirst line\r\nSecond line\r\n<div class=\"credit\">Lyrics " +
           "\xA9 2024", 1, u"First line\r\nSecond line\r\nLyrics"},
      {"a copyright sign before the start does not count",
       "\xA9 " + head + "<div id=\"lyrics\">text without end", 0, u""},
      {"the apology page",
       head + "<div id=\"lyrics\">\r\nWe are sorry.<br>\r\nSorry for the inconvenience.\r\n</div>",
       0, u"We are sorry.\r\nSorry for the inconvenience."},
      {"no block", head + "<p>Lyrics withdrawn</p>" + tail, 0, u""},
      {"an empty block", head + "<div id=\"lyrics\"> <br> \r\n </div>", 0, u""},
  };
  for (const LyricsCase& c : cases) {
    SCOPED_TRACE(c.what);
    server.Serve("/lyrics/song.html", c.page);
    WString lyrics = u"stale";
    EXPECT_EQ(c.result, plugin.GetLyrics(kSite + u"/lyrics/song.html", lyrics));
    EXPECT_EQ(WString(c.text), lyrics);
  }
  WString lyrics = u"stale";
  EXPECT_EQ(0, plugin.GetLyrics(kSite + u"/lyrics/missing.html", lyrics)) << "404";
  EXPECT_TRUE(lyrics.empty());
}

TEST_F(SearchEngine, EveryRequestGoesThroughTheProxyWithABrowserUserAgent) {
  server.Serve(ArtistSearch("Xylo"), ArtistResults({{"/artist/xylo.html", "Xylo"}}));
  server.Serve("/artist/xylo.html", ArtistPage({{"lyrics/x/1.html", "One"}}));
  server.Serve("/lyrics/x/1.html", "<div id=\"lyrics\">la</div>");
  VectorSongList songs;
  ASSERT_EQ(1, plugin.FindArtistSongList(u"Xylo", &songs));
  WString lyrics;
  ASSERT_EQ(1, plugin.GetLyrics(songs.entries[0].url, lyrics));
  const auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  for (const auto& request : requests) {
    EXPECT_TRUE(request.proxyForm) << request.target;
    EXPECT_EQ(Narrow(kSite), request.host);
    EXPECT_EQ(0u, request.userAgent.rfind("Mozilla/", 0)) << request.userAgent;
  }
}

}  // namespace
