// A song title taken apart: its stem and the parts after it, each in "(...)", "[...]",
// "{...}", after " - " (or an en or em dash), a trailing "Part 2" / ", Pt. II", or a
// "feat. ..." / "featuring ..." tail, with what each part means (matching/version_words.h).
// "Paper Moon - Live" and "Paper Moon [Live]" are the stem "Paper Moon" with a Live part;
// "Intro (Harbour Bells)" keeps its subtitle as a part that is a subtitle. A title is never
// taken apart whole: "(Intro)" is a stem. "ft." outside brackets is part of the name ("Welcome
// to Ft. Lauderdale", "Ten ft Tall"). Also how the comparisons see a title. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "matching/version_words.h"

namespace host::matching {

struct TitlePart {
  char opening = '(';  // '(' '[' '{' for a bracket, '-' after a dash, ' ' for a tail
  std::string text;    // as written, without its brackets or dash
  PartMeaning meaning;
};

struct SongTitle {
  std::string stem;              // as written, blanks at both ends trimmed
  std::vector<TitlePart> parts;  // in the order they are written
};

SongTitle ParseTitle(std::string_view title);

// Whether the title names a recording without lyrics ("(Instrumental)", "- Karaoke").
bool NamesNoLyrics(const SongTitle& title);

// How a title compares under what `forgive` forgives (matching/folded_text.h): the stem folded;
// with kPartSpelling the versions as their keys and detail and the subtitles as their folded
// text, without it every part as written with its bracket or dash; featured artists dropped
// under kFeaturing and harmless parts under kHarmless, else compared like subtitles.
struct TitleForm {
  std::string stem;
  std::vector<std::string> keys;       // sorted, no repeats
  std::vector<std::string> detail;     // sorted, no repeats
  std::vector<std::string> subtitles;  // sorted
  bool noLyrics = false;               // a part names a recording without lyrics
  bool operator==(const TitleForm&) const = default;
};
TitleForm FormOf(const SongTitle& title, unsigned forgive);

}  // namespace host::matching
