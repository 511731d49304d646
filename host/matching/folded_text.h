// The normaliser: a name with what does not change a song folded away, so that a tag's
// "Chloe Marchand / Deja  Vu" and the site's "Chloé Marchand / Déjà Vu" compare equal. Each
// kind of difference can be left unfolded, which is how a match learns which ones it needed
// ("accents", "typography") to say why it matched. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace host::matching {

// What normalisation forgives (bits); FoldedText folds the ones it is given.
constexpr unsigned kLetterCase = 1u << 0;
constexpr unsigned kBlanks = 1u << 1;        // runs of blanks inside a name (tabs, other spaces)
constexpr unsigned kTypography = 1u << 2;    // ’ ‘ “ ” « » for ' and ", dashes for -, invisibles
constexpr unsigned kAccents = 1u << 3;       // marks on letters, on either side; æ ß œ spelled out
constexpr unsigned kAnd = 1u << 4;           // "&" for the word "and"
constexpr unsigned kPunctuation = 1u << 5;   // punctuation left out or added: "Dont", "Half Light"
// The next three concern a title's parts (matching/song_title.h), not its text.
constexpr unsigned kFeaturing = 1u << 6;     // "feat. ..." parts of either name
constexpr unsigned kPartSpelling = 1u << 7;  // a part in () [] {} or after a dash; a version
                                             // in other words ("Pt. II", "Part 2")
constexpr unsigned kHarmless = 1u << 8;      // parts that do not change the words: "Mono"
constexpr unsigned kForgiveAll = (1u << 9) - 1;
// What FoldedText itself folds; the rest is the title parser's business.
constexpr unsigned kTextFolds = kLetterCase | kBlanks | kTypography | kAccents | kAnd |
                                kPunctuation;

// The UTF-8 text with the differences in `forgive` folded away and blanks at both ends
// trimmed: kLetterCase lowers letters, kBlanks makes each run of blanks one space, kTypography
// puts ASCII for typographic marks and drops invisible characters, kAccents drops accents,
// kAnd writes "&" as the word "and", and kPunctuation drops apostrophes and turns other ASCII
// punctuation into a blank (so "Don't" and "Dont", "Half-Light" and "Half Light" agree). A
// blank that folding puts in never doubles one already there. Ill-formed UTF-8 becomes U+FFFD.
std::string FoldedText(std::string_view utf8, unsigned forgive);

// Only the letters and digits of the fully folded text: "AM" and "A.M." both give "am". Names
// that agree only in this say nothing of where their words begin, so such a match is doubtful.
std::string LettersAndDigits(std::string_view utf8);

// The name as a site writes it in a page address: folded, "&" as "and", letters that have no
// ASCII form left out, and every run of other characters than ASCII letters and digits one
// "-": "Björn & the Foxes" gives "bjorn-and-the-foxes", "Rosie O'Dell" gives "rosie-o-dell".
std::string AddressName(std::string_view utf8);

}  // namespace host::matching
