// The judge: whether a song the plug-in offered is the song a tag names, and how sure the host
// is. The plug-in's name distance only ranks what the site answered; the host decides.
//
// The level, one rule each:
//   exact       the site's title is the tag's, and the plug-in matched the artist under the
//               strict threshold (at most 1): letter case and blanks at either end aside.
//   normalised  artist and title are the same once both are normalised: letter case, blanks,
//               typographic quotes, apostrophes and dashes, accents, & and "and", punctuation,
//               "feat. ...", and how a version or subtitle is bracketed, dashed or worded; the
//               artist as the plug-in matched it strictly or as the page address names it.
//   variant     the same as normalised once words that do not change a song's words
//               ("Remastered 2011", "Mono", "Deluxe", "Bonus Track") are dropped on either side.
//   doubtful    artist and base title agree, but not for certain: the site's title names a
//               version or subtitle the tag does not, one says more of the same version ("Live"
//               and "Live at the Roundhouse"), the names agree only in their letters and digits,
//               or the site's artist cannot be checked.
//   no match    anything else: another title or artist, or a version or subtitle in the tag
//               that the site's title lacks or contradicts, or a page without lyrics.
//   no lyrics   the tag names an instrumental, karaoke or backing track: nothing to store.
// Exact, normalised and variant matches may be stored; a doubtful one only when the user
// accepts doubtful matches. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "matching/folded_text.h"
#include "matching/song_names.h"

namespace host::matching {

// The names a tag gives, UTF-8: the host's one type for a song's names.
using Names = SongNames;

// A song the plug-in offered: the title as the site names it and the song page's address.
// artistAsAsked: the plug-in compared the artist as given under a threshold of at most 1
// (FindSong's default), so the site's artist is the tag's up to letter case and outer blanks.
struct Candidate {
  std::string title;
  std::string address;
  bool artistAsAsked = false;
};

enum class MatchLevel { kExact, kNormalised, kVariant, kDoubtful, kNoMatch, kNoLyrics };

// What differed (bits), beyond the folds of folded_text.h, which use the low bits.
constexpr unsigned kLettersOnly = 1u << 9;         // names agree only in letters and digits
constexpr unsigned kSiteNamesMore = 1u << 10;      // the site's title names a version the tag lacks
constexpr unsigned kVersionDetail = 1u << 11;      // one side says more of the same version
constexpr unsigned kArtistFromAddress = 1u << 12;  // the artist compared as the address names it
constexpr unsigned kArtistUnchecked = 1u << 13;    // no artist in the address: the distance alone
constexpr unsigned kAmbiguous = 1u << 14;          // another page matched as well
constexpr unsigned kOtherArtist = 1u << 15;
constexpr unsigned kOtherTitle = 1u << 16;
constexpr unsigned kTagNamesMore = 1u << 17;       // the tag names a version the site's title lacks
constexpr unsigned kNoLyricsPage = 1u << 18;       // the site's title is a recording without lyrics

struct Judgement {
  MatchLevel level = MatchLevel::kNoMatch;
  unsigned artist = 0;  // the bits above and folded_text.h's: what differed in the artist
  unsigned title = 0;   // and in the title
};

Judgement Judge(const Names& asked, const Candidate& candidate);

// Whether a match of this level may be stored without the user's word.
bool IsTrusted(MatchLevel level);
// "exact", "normalised", "variant", "doubtful", "no match", "no lyrics".
std::string_view LevelName(MatchLevel level);
// The differences in words, in bit order: "letter case", "accents", "feat.", ...
std::vector<std::string> DifferenceNames(unsigned differences);

}  // namespace host::matching
