#include "matching/search_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace host::matching {

// For failures: found by the tests' printer next to Search itself.
void PrintTo(const Search& search, std::ostream* out) {
  *out << (search.ask == Ask::kFindSong ? "FindSong(" : "ArtistSongs(") << search.names.artist
       << ", " << search.names.title << ") under " << search.maxDifference;
}

namespace {

TEST(SearchSpelling, WhatTheSitesWordSearchAndThePluginsDistanceLike) {
  const std::pair<Names, Names> cases[] = {
      {{"Bjorn and the Foxes", "Fox AND Hound"}, {"Bjorn & the Foxes", "Fox & Hound"}},
      {{"Kestrel feat. X", "Wind Hover (feat. X) [Remastered 2011]"}, {"Kestrel", "Wind Hover"}},
      {{" The  Cobalt  Sky ", "Paper Moon - Live"}, {"The Cobalt Sky", "Paper Moon (Live)"}},
      {{"Rosie O\u2019Dell", "Don\u2019t Look Back Now"}, {"Rosie O'Dell", "Don't Look Back Now"}},
      {{"Grey Heron", "Intro - Harbour Bells"}, {"Grey Heron", "Intro (Harbour Bells)"}},
      {{"Sandy Andes", "Android"}, {"Sandy Andes", "Android"}},
  };
  for (const auto& [asked, spelled] : cases) {
    EXPECT_EQ(spelled, SearchSpelling(asked)) << asked.artist << " / " << asked.title;
  }
}

// What a plug-in answers each search with; a search not listed finds nothing.
using Responses = std::vector<Answer>;

std::vector<Answer> Drive(const Names& asked, float userMaxDifference, const Responses& site) {
  std::vector<Answer> answers;
  while (const std::optional<Search> search = NextSearch(asked, userMaxDifference, answers)) {
    const auto found = std::find_if(site.begin(), site.end(),
                                    [&](const Answer& a) { return a.search == *search; });
    answers.push_back({*search, found == site.end() ? std::vector<OfferedSong>{} : found->songs});
    if (answers.size() > 5) break;  // a plan that never ends fails below
  }
  return answers;
}

TEST(NextSearch, ExactNamesCostOneSearchAndEachLaterSearchOnlyWhatTheEarlierOnesMissed) {
  const std::string lanterns = "x.test/lyrics/the-lanterns/";
  const OfferedSong moon{"Paper Moon", lanterns + "paper-moon.html"};
  const OfferedSong moons{"Paper Moons", lanterns + "paper-moons.html"};
  const OfferedSong deja{"D\u00e9j\u00e0 Vu", "x.test/lyrics/chloe-marchand/deja-vu.html"};
  const float wide = kWideMaxDifference;
  struct Case {
    Names asked;
    float userMaxDifference;
    Responses site;
    std::vector<Search> searches;
    const char* chosen;  // title, or "" for none
  };
  const Case cases[] = {
      {{"The Lanterns", "Paper Moon"}, 1.0f,
       {{{Ask::kFindSong, {"The Lanterns", "Paper Moon"}, 1.0f}, {moon}}},
       {{Ask::kFindSong, {"The Lanterns", "Paper Moon"}, 1.0f}}, "Paper Moon"},
      // Accents only the site has: the wider search lets them through.
      {{"Chloe Marchand", "Deja Vu"}, 1.0f,
       {{{Ask::kFindSong, {"Chloe Marchand", "Deja Vu"}, wide}, {deja}}},
       {{Ask::kFindSong, {"Chloe Marchand", "Deja Vu"}, 1.0f},
        {Ask::kFindSong, {"Chloe Marchand", "Deja Vu"}, wide}}, "D\u00e9j\u00e0 Vu"},
      // The wider search offers a near title first: the artist's list has the song.
      {{"The Lanterns", "Paper Moon (Mono)"}, 1.0f,
       {{{Ask::kFindSong, {"The Lanterns", "Paper Moon"}, wide}, {moons}},
        {{Ask::kArtistSongs, {"The Lanterns", ""}, wide}, {moons, moon}}},
       {{Ask::kFindSong, {"The Lanterns", "Paper Moon (Mono)"}, 1.0f},
        {Ask::kFindSong, {"The Lanterns", "Paper Moon"}, wide},
        {Ask::kArtistSongs, {"The Lanterns", ""}, wide}}, "Paper Moon"},
      // Nothing anywhere: three searches and no more.
      {{"Brass and Bellows", "Falcon"}, 1.0f, {},
       {{Ask::kFindSong, {"Brass and Bellows", "Falcon"}, 1.0f},
        {Ask::kFindSong, {"Brass & Bellows", "Falcon"}, wide},
        {Ask::kArtistSongs, {"Brass & Bellows", ""}, wide}}, ""},
      // A user's wide threshold already asked what the second search would.
      {{"Kestrel", "Falcon"}, 300.0f, {},
       {{Ask::kFindSong, {"Kestrel", "Falcon"}, 300.0f},
        {Ask::kArtistSongs, {"Kestrel", ""}, 300.0f}}, ""},
      // An instrumental has no lyrics: nothing to ask.
      {{"Kestrel", "Wind Hover (Instrumental)"}, 1.0f, {}, {}, ""},
  };
  for (const Case& c : cases) {
    const std::vector<Answer> answers = Drive(c.asked, c.userMaxDifference, c.site);
    std::vector<Search> searches;
    for (const Answer& answer : answers) searches.push_back(answer.search);
    EXPECT_EQ(c.searches, searches) << c.asked.title;
    const Choice choice = ChooseFromAnswers(c.asked, answers);
    const std::vector<Candidate> candidates = CandidatesOf(c.asked, answers);
    EXPECT_EQ(c.chosen, choice.chosen ? candidates[*choice.chosen].title : "") << c.asked.title;
  }
}

TEST(CandidatesOf, OnlyAStrictFindSongWithTheArtistAsGivenVouchesForTheArtist) {
  const Names asked{"Kestrel", "Wind Hover"};
  const std::vector<OfferedSong> song{{"Wind Hover", "x.test/lyrics/kestrel/wind-hover.html"}};
  const std::pair<Search, bool> cases[] = {
      {{Ask::kFindSong, asked, 1.0f}, true},
      {{Ask::kFindSong, asked, 0.5f}, true},
      {{Ask::kFindSong, asked, 1.5f}, false},
      {{Ask::kFindSong, {"Kestrel ", "Wind Hover"}, 1.0f}, false},
      {{Ask::kArtistSongs, {"Kestrel", ""}, 1.0f}, false},
  };
  for (const auto& [search, strict] : cases) {
    const std::vector<Candidate> candidates = CandidatesOf(asked, {{search, song}});
    ASSERT_EQ(1u, candidates.size());
    EXPECT_EQ(strict, candidates[0].artistAsAsked) << search.maxDifference;
  }
}

}  // namespace
}  // namespace host::matching
