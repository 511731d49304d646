#include "matching/song_title.h"

#include <gtest/gtest.h>

namespace host::matching {
namespace {

char KindLetter(PartKind kind) {
  switch (kind) {
    case PartKind::kFeaturing: return 'f';
    case PartKind::kHarmless: return 'h';
    case PartKind::kNoLyrics: return 'n';
    case PartKind::kVersion: return 'v';
    case PartKind::kSubtitle: return 's';
  }
  return '?';
}

// Each part as its opening, its text and its kind: "(Live=v".
std::vector<std::string> Described(const SongTitle& title) {
  std::vector<std::string> parts;
  for (const TitlePart& part : title.parts) {
    parts.push_back(part.opening + part.text + "=" + KindLetter(part.meaning.kind));
  }
  return parts;
}

TEST(ParseTitle, TakesOffTrailingPartsInEverySpellingButNeverTheWholeTitle) {
  struct Case {
    const char* title;
    const char* stem;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {" Paper Moon - Live ", "Paper Moon", {"-Live=v"}},
      {"Paper Moon \u2013 Live", "Paper Moon", {"-Live=v"}},
      {"Paper Moon [Remix]", "Paper Moon", {"[Remix=v"}},
      {"Paper Moon {Demo}", "Paper Moon", {"{Demo=v"}},
      {"Intro (Harbour Bells)", "Intro", {"(Harbour Bells=s"}},
      {"Home (Live) [Remastered 2011]", "Home", {"(Live=v", "[Remastered 2011=h"}},
      {"Home - Live (2011)", "Home", {"-Live=v", "(2011=h"}},
      {"Home (Live (2011))", "Home", {"(Live (2011)=v"}},
      {"Lighthouse, Pt. 2", "Lighthouse", {" Pt. 2=v"}},
      {"Lighthouse Part Two", "Lighthouse", {" Part Two=v"}},
      {"Lighthouse (Instrumental)", "Lighthouse", {"(Instrumental=n"}},
      {"Ten ft Tall (feat. Grey Heron)", "Ten ft Tall", {"(feat. Grey Heron=f"}},
      {"Wind Hover feat. Someone", "Wind Hover", {" feat. Someone=f"}},
      // Never the whole title, nor a name that only looks like a part.
      {"(Intro)", "(Intro)", {}},
      {" - Live", "- Live", {}},
      {"Part 2", "Part 2", {}},
      {"Welcome to Ft. Lauderdale", "Welcome to Ft. Lauderdale", {}},
      {"A Feat of Strength", "A Feat of Strength", {}},
      {"Half-Light", "Half-Light", {}},
      {"Song (A - B) Remix", "Song (A - B) Remix", {}},  // a dash inside brackets
      {"Song (Live))", "Song (Live))", {}},              // unbalanced
  };
  for (const Case& c : cases) {
    const SongTitle title = ParseTitle(c.title);
    EXPECT_EQ(c.stem, title.stem) << c.title;
    EXPECT_EQ(c.parts, Described(title)) << c.title;
  }
}

TEST(MeaningOfPart, VersionsHarmlessWordsAndSubtitles) {
  struct Case {
    std::vector<std::string> words;
    PartKind kind;
    std::vector<std::string> keys;
    std::vector<std::string> detail;
  };
  using K = PartKind;
  const Case cases[] = {
      {{"live", "at", "the", "roundhouse"}, K::kVersion, {"live"}, {"roundhouse"}},
      {{"live", "1999"}, K::kVersion, {"live"}, {"1999"}},
      {{"extended", "mix"}, K::kVersion, {"extended", "remix"}, {}},
      {{"club", "mix"}, K::kVersion, {"remix"}, {"club"}},
      {{"radio", "edit"}, K::kVersion, {"edit", "radio"}, {}},
      {{"pt", "ii"}, K::kVersion, {"part 2"}, {}},
      {{"part", "two"}, K::kVersion, {"part 2"}, {}},
      {{"a", "cappella"}, K::kVersion, {"acapella"}, {}},
      {{"version", "en", "espanol"}, K::kVersion, {"spanish"}, {}},
      {{"spanish", "version"}, K::kVersion, {"spanish"}, {}},
      {{"karaoke", "version"}, K::kNoLyrics, {"karaoke"}, {}},
      {{"backing", "track"}, K::kNoLyrics, {"backing track"}, {}},
      {{"original", "mix"}, K::kHarmless, {}, {}},
      {{"2003", "remastered", "version"}, K::kHarmless, {}, {}},
      {{"deluxe", "edition"}, K::kHarmless, {}, {}},
      {{"from", "the", "film", "x"}, K::kHarmless, {}, {}},
      {{}, K::kHarmless, {}, {}},
      {{"feat", "someone"}, K::kFeaturing, {}, {}},
      {{"ft", "someone"}, K::kFeaturing, {}, {}},
      {{"french", "kiss"}, K::kSubtitle, {}, {}},
      {{"harbour", "bells"}, K::kSubtitle, {}, {}},
      {{"part", "of", "me"}, K::kSubtitle, {}, {}},
      {{"the"}, K::kSubtitle, {}, {}},
  };
  for (const Case& c : cases) {
    const PartMeaning meaning = MeaningOfPart(c.words);
    const std::string words = ::testing::PrintToString(c.words);
    EXPECT_EQ(c.kind, meaning.kind) << words;
    EXPECT_EQ(c.keys, meaning.keys) << words;
    EXPECT_EQ(c.detail, meaning.detail) << words;
  }
}

TEST(NumberWord, DigitsRomanAndWordsUpToTwenty) {
  const std::pair<const char*, const char*> cases[] = {
      {"2", "2"}, {"ii", "2"}, {"iv", "4"}, {"twenty", "20"}, {"xx", "20"}, {"107", "107"},
      {"1999", ""}, {"xxi", ""}, {"twice", ""}, {"", ""}};
  for (const auto& [word, number] : cases) EXPECT_EQ(number, NumberWord(word)) << word;
}

}  // namespace
}  // namespace host::matching
