// What to ask the plug-in for a song, one search at a time, and what the answers come to. The
// plug-in keeps its name distance; the host widens what it lets through and judges the
// candidates itself (matching/match_chooser.h). A song is searched:
//   1. FindSong with the names as given, under the user's "MaxMatchDifference": what a search
//      costs today, and all a song whose names match exactly ever costs;
//   2. when that gave no trusted match, FindSong with the names spelled for the site (see
//      SearchSpelling) under a wider threshold, kWideMaxDifference, so that the plug-in lets
//      through accents the tag lacks, another bracket, a typographic apostrophe;
//   3. when that gave none either, FindArtistSongList for the artist so spelled, under the
//      wider threshold, and every song of the artist is judged: the plug-in offers one song
//      per FindSong, the first within the threshold, which may hide the right one.
// A search that would ask what an earlier one asked is left out, and none is made for a title
// that names a recording without lyrics. The driver makes each search as it makes any (paced,
// cancellable, under --timeout) and may answer step 3 from a list it already holds for the
// artist. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "matching/match_chooser.h"

namespace host::matching {

// Wide enough for two accents the tag lacks in one name (100 each) and a version bracketed
// otherwise; the judge, not the threshold, decides what matches.
constexpr float kWideMaxDifference = 250.0f;

enum class Ask {
  kFindSong,     // FindSong(artist, title)
  kArtistSongs,  // FindArtistSongList(artist); title unused
};

struct Search {
  Ask ask = Ask::kFindSong;
  Names names;
  float maxDifference = 1.0f;  // what to answer "MaxMatchDifference" during the call
  bool operator==(const Search&) const = default;
};

// A song entry the plug-in gave: its title and address as in SongEntry.
struct OfferedSong {
  std::string title;
  std::string address;
};

struct Answer {
  Search search;
  std::vector<OfferedSong> songs;  // empty when the plug-in found none
};

// The names spelled for the site's word search and the plug-in's distance: typographic marks
// as ASCII, blanks collapsed, no featured artist, the word "and" as "&" (the site's search
// skips "&", so "Bjorn and the Foxes" finds "Björn & the Foxes"), no harmless parts, and each
// version or subtitle in round brackets ("Paper Moon - Live" as "Paper Moon (Live)").
Names SearchSpelling(const Names& asked);

// The next search for the song, after the answers so far (in the order made); none when a
// trusted match was found, the title names a recording without lyrics, or all three searches
// were made or left out.
std::optional<Search> NextSearch(const Names& asked, float userMaxDifference,
                                 const std::vector<Answer>& answers);

// Every song the answers offered, as candidates: its artist counts as asked when it came from
// FindSong with the artist as given under a threshold of at most 1.
std::vector<Candidate> CandidatesOf(const Names& asked, const std::vector<Answer>& answers);

// The song the answers come to: Choose over CandidatesOf.
Choice ChooseFromAnswers(const Names& asked, const std::vector<Answer>& answers);

}  // namespace host::matching
