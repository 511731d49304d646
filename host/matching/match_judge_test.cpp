#include "matching/match_judge.h"

#include <gtest/gtest.h>

namespace host::matching {
namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

std::string Page(const char* artist, const char* song) {
  return std::string("lyrics.tunewell.test/lyrics/") + artist + "/" + song + ".html";
}

TEST(Judge, LevelAndWhatDifferedForEachKindOfDifference) {
  struct Case {
    Names asked;
    Candidate offered;
    MatchLevel level;
    const char* artist;  // what differed
    const char* title;
  };
  using L = MatchLevel;
  const std::string lanterns = Page("the-lanterns", "x");
  const std::string chloe = Page("chloe-marchand", "x");
  const std::string finch = Page("marlowe-finch", "x");
  const Case cases[] = {
      {{"The Lanterns", "PAPER MOON (LIVE) "}, {"Paper Moon (Live)", lanterns, true}, L::kExact,
       "", ""},
      {{"The Lanterns", "Paper Moon"}, {"Paper Moon", lanterns, false}, L::kNormalised,
       "artist by address", ""},
      {{"Chloe Marchand", "Deja  Vu - Live"}, {"D\u00e9j\u00e0 Vu (Live)", chloe, false},
       L::kNormalised, "artist by address", "blanks, accents, brackets or dash"},
      {{"Chloe Marchand", "Deja Vu"}, {"Deja Vu", Page("chloe-marchant", "x"), false},
       L::kNoMatch, "other artist", ""},
      {{"Orla Quinn", "Orla\u2019s Song"}, {"Orla's Song", lanterns, true}, L::kNormalised, "",
       "typography"},
      {{"A", "Dont Look Back Now"}, {"Don't Look Back Now", lanterns, true}, L::kNormalised, "",
       "punctuation"},
      {{"A", "Rock and Reel"}, {"Rock & Reel", lanterns, true}, L::kNormalised, "", "& / and"},
      {{"A", "Wind Hover (feat. X)"}, {"Wind Hover", lanterns, true}, L::kNormalised, "", "feat."},
      {{"The Lanterns feat. X", "Paper Moon"}, {"Paper Moon", lanterns, false}, L::kNormalised,
       "feat., artist by address", ""},
      {{"A", "Lighthouse, Pt. 2"}, {"Lighthouse (Part II)", finch, true}, L::kNormalised, "",
       "brackets or dash"},
      {{"A", "Night Drive (Extended Mix)"}, {"Night Drive [Extended Remix]", finch, true},
       L::kNormalised, "", "brackets or dash"},
      {{"A", "Paper Moon (Remastered 2011)"}, {"Paper Moon", lanterns, true}, L::kVariant, "",
       "harmless words"},
      {{"A", "Low Country"}, {"Low Country (Remastered 2009)", finch, true}, L::kVariant, "",
       "harmless words"},
      // Another recording is never the song; the site saying more is doubtful.
      {{"A", "Paper Moon (Live)"}, {"Paper Moon", lanterns, true}, L::kNoMatch, "",
       "tag's title says more"},
      {{"A", "Paper Moon (Live)"}, {"Paper Moon [Remix]", lanterns, true}, L::kNoMatch, "",
       "tag's title says more"},
      {{"A", "Intro (Harbour Bells)"}, {"Intro", finch, true}, L::kNoMatch, "",
       "tag's title says more"},
      {{"A", "Lighthouse (Live at Wembley)"}, {"Lighthouse (Live at the Roundhouse)", finch, true},
       L::kNoMatch, "", "tag's title says more"},
      {{"A", "Paper Moon"}, {"Paper Moon (Live)", lanterns, true}, L::kDoubtful, "",
       "site's title says more"},
      {{"A", "Morning"}, {"Morning (Harbour Bells)", finch, true}, L::kDoubtful, "",
       "site's title says more"},
      {{"A", "Night Drive (Remix)"}, {"Night Drive [Extended Remix]", finch, true}, L::kDoubtful,
       "", "site's title says more"},
      {{"A", "Lighthouse (Live)"}, {"Lighthouse (Live at the Roundhouse)", finch, true},
       L::kDoubtful, "", "version detail"},
      {{"A", "Halflight"}, {"Half-Light", finch, true}, L::kDoubtful, "", "letters only"},
      {{"2 Rivers", "Two Rivers"}, {"Two Rivers", Page("2rivers", "x"), false}, L::kDoubtful,
       "letters only, artist by address", ""},
      {{"A", "Two Rivers"}, {"Two Rivers", "lyrics.example/song?id=3", false}, L::kDoubtful,
       "artist unchecked", ""},
      {{"A", "Ten ft Tall"}, {"Ten", finch, true}, L::kNoMatch, "", "other title"},
      {{"A", "Lighthouse"}, {"Lighthouse (Instrumental)", finch, true}, L::kNoMatch, "",
       "no-lyrics page"},
      {{"A", "Tide Tables - Karaoke"}, {"Tide Tables - Karaoke", finch, true}, L::kNoLyrics, "",
       ""},
  };
  for (const Case& c : cases) {
    const Judgement judgement = Judge(c.asked, c.offered);
    const std::string what = c.asked.artist + " / " + c.asked.title + " : " + c.offered.title;
    EXPECT_EQ(LevelName(c.level), LevelName(judgement.level)) << what;
    EXPECT_EQ(c.artist, Joined(DifferenceNames(judgement.artist))) << what;
    EXPECT_EQ(c.title, Joined(DifferenceNames(judgement.title))) << what;
  }
}

}  // namespace
}  // namespace host::matching
