#include "matching/match_chooser.h"

#include <gtest/gtest.h>

namespace host::matching {
namespace {

TEST(Choose, BestLevelThenFewestDifferencesThenNearestTitleAndATieIsDoubtful) {
  const std::string a = "x.test/lyrics/the-lanterns/a.html";
  const std::string b = "x.test/lyrics/the-lanterns/b.html";
  const std::string c = "x.test/lyrics/the-lanterns/c.html";
  const std::string other = "x.test/lyrics/the-lanterns-uk/a.html";
  struct Case {
    Names asked;
    std::vector<Candidate> offered;
    int chosen;  // -1: none
    MatchLevel level;
  };
  using L = MatchLevel;
  const Case cases[] = {
      // The exact one wins wherever it is offered.
      {{"The Lanterns", "Paper Moon"},
       {{"Paper Moons", a}, {"Paper Moon (Live)", b}, {"Paper Moon", c, true}}, 2, L::kExact},
      // A near-namesake artist's song, offered first, loses to the artist's own.
      {{"The Lanterns", "Paper Moon"}, {{"Paper Moon", other}, {"Paper Moon", c}}, 1,
       L::kNormalised},
      // Of two normalised ones the nearer title.
      {{"The Lanterns", "Night Drive (Extended Remix)"},
       {{"Night Drive [Extended Mix]", a}, {"Night Drive - Extended Remix", b}}, 1,
       L::kNormalised},
      // Two pages as near as each other: the site has two songs the tag could mean.
      {{"The Lanterns", "Paper Moon - Live"}, {{"Paper Moon (Live)", a}, {"Paper Moon [Live]", b}},
       0, L::kDoubtful},
      // One page offered twice (by FindSong and by the artist's list) is no tie.
      {{"The Lanterns", "Paper Moon"}, {{"Paper Moon", a, true}, {"Paper Moon", a}}, 0, L::kExact},
      {{"The Lanterns", "Paper Moon"}, {{"Paper Moons", a}, {"Paper Moon", other}}, -1,
       L::kNoMatch},
      {{"The Lanterns", "Paper Moon"}, {}, -1, L::kNoMatch},
      {{"The Lanterns", "Paper Moon (Instrumental)"}, {}, -1, L::kNoLyrics},
  };
  for (const Case& c : cases) {
    const Choice choice = Choose(c.asked, c.offered);
    EXPECT_EQ(c.chosen, choice.chosen ? static_cast<int>(*choice.chosen) : -1) << c.asked.title;
    EXPECT_EQ(LevelName(c.level), LevelName(choice.judgement.level)) << c.asked.title;
  }
}

}  // namespace
}  // namespace host::matching
