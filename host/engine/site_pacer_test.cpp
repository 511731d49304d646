#include "engine/site_pacer.h"

#include <gtest/gtest.h>

namespace host {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(SitePacer, PausesGrowAfterFailuresWithJitterAndACap) {
  struct Case {
    int delayMs, failures;
    bool askedToWait;
    double jitter;
    int pauseMs;
  };
  const Case cases[] = {
      {250, 0, false, 0.9, 250},      // a healthy run keeps the user's delay, no jitter
      {0, 0, false, 0.5, 0},          //
      {250, 1, false, 0.5, 1000},     // four delays
      {250, 3, false, 0.5, 4000},     // doubling
      {0, 1, false, 0.5, 100},        // at least 0.1 s
      {250, 1, false, 0.0, 750},      // jitter: from 3/4 ...
      {250, 1, false, 0.999, 1249},   // ... to 5/4
      {250, 30, false, 0.5, 60000},   // at most a minute
      {3600000, 2, false, 0.5, 60000},
      // "Too Many Requests", "Service Unavailable": half a minute, doubling up to five.
      {0, 1, true, 0.5, 30000},
      {250, 3, true, 0.0, 90000},
      {250, 30, true, 0.5, 300000},
      {250, 0, true, 0.5, 250},  // the site answered since
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SitePacer::PauseMs(c.delayMs, c.failures, c.askedToWait, c.jitter), c.pauseMs)
        << c.delayMs << " ms, " << c.failures << " failures";
  }
}

// Time that passes only as the pacer waits and the site takes to answer.
class TestClock : public PacerClock {
 public:
  std::chrono::steady_clock::time_point Now() const override { return now; }
  bool Wait(milliseconds pause, const std::string& why) override {
    waits += why.empty() ? "d" : why == "the site asked to wait" ? "w" : "b";
    now += pause;
    return true;
  }
  std::chrono::steady_clock::time_point now;
  std::string waits;  // d: the user's delay; b: a back-off; w: the site asked to wait
};

// One search's answer, by letter: S found (the song asked for), N not found (the site lacks the
// song), F no connection, R refused ("Not Found" for the page), W "Service Unavailable".
SearchReport Answer(char letter) {
  SearchReport report;
  report.outcome = letter == 'S'   ? Outcome::Found
                   : letter == 'N' ? Outcome::NotFound
                                   : Outcome::DownloadFailed;
  if (letter == 'S') report.song = FoundSong{"B", "A", "u", "", ""};
  if (letter == 'F') report.trouble = {"no connection could be made", true, false, false};
  if (letter == 'R') report.trouble = {"the server answered \"Not Found\"", false, true, false};
  if (letter == 'W') {
    report.trouble = {"the server answered \"Service Unavailable\"", false, true, true};
  }
  return report;
}

// Songs in a row through one pacer, each song's first search (and each retry of it) answered by
// the next letter of the script, up to its end or until the pacer gives up; the wider searches
// of a song not found find nothing, and lyrics are always there. What the run did.
TEST(SitePacer, BacksOffRetriesAndGivesUpWhenTheSiteHasStoppedAnswering) {
  struct Case {
    const char* rule;
    int retries;
    std::string script;
    int searchSeconds;  // what each search takes
    int songs;          // searched before the end
    std::string waits;
    SiteStop stop;
    const char* said;  // in the line of the stop
  };
  const Case cases[] = {
      {"a success resets the back-off", 0, "FFSS", 0, 4, "bbd", SiteStop::None, ""},
      {"a wait the site asked for", 0, "WS", 0, 2, "w", SiteStop::None, ""},
      {"--retries tries a failed download again", 2, "FFS", 0, 1, "bb", SiteStop::None, ""},
      // The song's wider searches are paced as searches, never as retries.
      {"--retries never retries a song the site lacks", 3, "NS", 0, 2, "ddd", SiteStop::None, ""},
      {"never answered: stops after five songs", 0, "FFFFFFF", 0, 5, "bbbb",
       SiteStop::NotReachable, "5 songs in a row failed and none has succeeded: no connection"},
      {"refused from the start", 1, "RRRRRRRRRRRR", 0, 5, "bbbbbbbbb", SiteStop::Refused,
       "none has succeeded: the server answered"},
      {"five failures after a success are a blip", 0, "SFFFFFS", 0, 7, "dbbbbb", SiteStop::None,
       ""},
      {"five failures after a success, minutes apart, are a dead site", 0, "SFFFFFS", 60, 6,
       "dbbbb", SiteStop::NotReachable,
       "the site has answered no song for 5 minutes (the downloads of 5 songs in a row failed)"},
      {"a site that keeps asking to wait", 0, "SWWWWWS", 0, 6, "dwwww", SiteStop::Refused,
       "minutes (the downloads of 5 songs in a row failed): the server answered"},
  };
  for (const Case& c : cases) {
    TestClock clock;
    SitePacer pacer(250, c.retries, clock);
    std::size_t next = 0;
    const SiteAsk site = [&](const std::string& command, const std::vector<std::string>&,
                             float maxDifference) {
      clock.now += seconds(c.searchSeconds);
      if (command == "lyrics") {
        SearchReport lyrics = Answer('S');
        lyrics.lyrics = "words";
        return lyrics;
      }
      const bool first = command == "song" && maxDifference <= 1.0f;
      if (!first) return Answer('N');
      return Answer(next < c.script.size() ? c.script[next++] : 'S');
    };
    int songs = 0;
    while (next < c.script.size() && pacer.GaveUp() == SiteStop::None) {
      ASSERT_TRUE(pacer.WaitBeforeSearch());
      pacer.Search(site, {"A", "B"}, MatchPolicy{});
      ++songs;
    }
    EXPECT_EQ(songs, c.songs) << c.rule;
    EXPECT_EQ(clock.waits, c.waits) << c.rule;
    EXPECT_EQ(pacer.GaveUp(), c.stop) << c.rule;
    if (c.stop != SiteStop::None) {
      EXPECT_NE(pacer.GaveUpMessage().find(c.said), std::string::npos)
          << c.rule << ": " << pacer.GaveUpMessage();
    }
  }
}

// A song found under the site's spelling is reported with the query as the user asked it and
// the names that matched; another recording offered for it is not taken, nor its lyrics asked.
TEST(SitePacer, TheReportKeepsTheQueryAsAskedAndTheMatchAsFound) {
  struct Row {
    const char* asked;
    const char* offered;  // by every FindSong
    Outcome outcome;
    bool lyricsAsked;
  };
  const Row rows[] = {
      {"Orla\u2019s Song", "Orla's Song", Outcome::Found, true},
      {"Home (Live)", "Home", Outcome::NotFound, false},
  };
  for (const Row& row : rows) {
    TestClock clock;
    SitePacer pacer(0, 0, clock);
    bool lyricsAsked = false;
    const SiteAsk site = [&](const std::string& command, const std::vector<std::string>&, float) {
      SearchReport report = Answer('N');
      if (command == "lyrics") {
        lyricsAsked = true;
        report = Answer('S');
      } else if (command == "song") {
        report.outcome = Outcome::Found;
        report.song = FoundSong{row.offered, "Kestrel", "u", "", ""};
      }
      return report;
    };
    const SearchReport report = pacer.Search(site, {"Kestrel", row.asked}, MatchPolicy{});
    EXPECT_EQ(report.outcome, row.outcome) << row.asked;
    EXPECT_EQ(lyricsAsked, row.lyricsAsked) << row.asked;
    const decltype(report.query) asked = {{"artist", "Kestrel"}, {"title", row.asked}};
    EXPECT_EQ(report.query, asked);
    if (row.outcome == Outcome::Found) {
      EXPECT_EQ(report.matchedAs, (SongNames{"Kestrel", row.offered}));
    }
  }
}

}  // namespace
}  // namespace host
