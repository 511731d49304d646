#include "matching/match_judge.h"

#include <algorithm>
#include <iterator>

#include "matching/artist_name.h"
#include "matching/song_title.h"

namespace host::matching {
namespace {

struct Verdict {
  MatchLevel level;
  unsigned differences;
};

constexpr std::string_view kDifferenceNames[] = {
    "letter case",    "blanks",       "typography",   "accents",
    "& / and",        "punctuation",  "feat.",        "brackets or dash",
    "harmless words", "letters only", "site's title says more", "version detail",
    "artist by address", "artist unchecked", "ambiguous", "other artist",
    "other title",    "tag's title says more", "no-lyrics page",
};

std::string WithoutDashes(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
  return text;
}

// The site's artist is known from the plug-in's strict comparison, or from the address.
Verdict JudgeArtist(const std::string& asked, const Candidate& candidate) {
  if (candidate.artistAsAsked) return {MatchLevel::kExact, 0};
  const std::string site = ArtistInAddress(candidate.address);
  if (site.empty()) return {MatchLevel::kDoubtful, kArtistUnchecked};
  const std::string alone = WithoutFeaturedArtist(asked);
  if (AddressName(asked) == site) return {MatchLevel::kNormalised, kArtistFromAddress};
  if (AddressName(alone) == site) {
    return {MatchLevel::kNormalised, kArtistFromAddress | kFeaturing};
  }
  const std::string letters = WithoutDashes(site);
  if (letters == WithoutDashes(AddressName(asked)) ||
      letters == WithoutDashes(AddressName(alone))) {
    return {MatchLevel::kDoubtful, kArtistFromAddress | kLettersOnly};
  }
  return {MatchLevel::kNoMatch, kOtherArtist};
}

bool Includes(const std::vector<std::string>& all, const std::vector<std::string>& some) {
  return std::includes(all.begin(), all.end(), some.begin(), some.end());
}

// What it took for two titles that are the same song to compare equal: each fold that, left
// out, keeps them apart.
unsigned FoldsNeeded(const SongTitle& tag, const SongTitle& site) {
  unsigned needed = 0;
  for (unsigned fold = 1; fold <= kHarmless; fold <<= 1) {
    if (FormOf(tag, kForgiveAll & ~fold) != FormOf(site, kForgiveAll & ~fold)) needed |= fold;
  }
  return needed;
}

Verdict JudgeTitle(const std::string& asked, const std::string& offered) {
  if (FoldedText(asked, kLetterCase) == FoldedText(offered, kLetterCase)) {
    return {MatchLevel::kExact, 0};
  }
  const SongTitle tag = ParseTitle(asked);
  const SongTitle site = ParseTitle(offered);
  const TitleForm t = FormOf(tag, kForgiveAll);
  const TitleForm s = FormOf(site, kForgiveAll);
  if (s.noLyrics && !t.noLyrics) return {MatchLevel::kNoMatch, kNoLyricsPage};
  unsigned doubts = 0;
  if (t.stem != s.stem) {
    if (LettersAndDigits(tag.stem) != LettersAndDigits(site.stem)) {
      return {MatchLevel::kNoMatch, kOtherTitle};
    }
    doubts |= kLettersOnly;
  }
  if (!Includes(s.keys, t.keys) || !Includes(s.subtitles, t.subtitles)) {
    return {MatchLevel::kNoMatch, kTagNamesMore};
  }
  if (s.keys != t.keys || s.subtitles != t.subtitles) doubts |= kSiteNamesMore;
  if (s.detail != t.detail) {
    if (!s.detail.empty() && !t.detail.empty()) return {MatchLevel::kNoMatch, kTagNamesMore};
    doubts |= kVersionDetail;
  }
  if (doubts != 0) return {MatchLevel::kDoubtful, doubts};
  const unsigned needed = FoldsNeeded(tag, site);
  return {(needed & kHarmless) ? MatchLevel::kVariant : MatchLevel::kNormalised, needed};
}

}  // namespace

Judgement Judge(const Names& asked, const Candidate& candidate) {
  if (NamesNoLyrics(ParseTitle(asked.title))) return {MatchLevel::kNoLyrics, 0, 0};
  const Verdict artist = JudgeArtist(asked.artist, candidate);
  if (artist.level == MatchLevel::kNoMatch) return {artist.level, artist.differences, 0};
  const Verdict title = JudgeTitle(asked.title, candidate.title);
  return {std::max(artist.level, title.level), artist.differences, title.differences};
}

bool IsTrusted(MatchLevel level) { return level <= MatchLevel::kVariant; }

std::string_view LevelName(MatchLevel level) {
  switch (level) {
    case MatchLevel::kExact: return "exact";
    case MatchLevel::kNormalised: return "normalised";
    case MatchLevel::kVariant: return "variant";
    case MatchLevel::kDoubtful: return "doubtful";
    case MatchLevel::kNoMatch: return "no match";
    case MatchLevel::kNoLyrics: return "no lyrics";
  }
  return "no match";
}

std::vector<std::string> DifferenceNames(unsigned differences) {
  std::vector<std::string> names;
  for (std::size_t bit = 0; bit < std::size(kDifferenceNames); ++bit) {
    if (differences & (1u << bit)) names.emplace_back(kDifferenceNames[bit]);
  }
  return names;
}

}  // namespace host::matching
