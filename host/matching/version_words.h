// What a part of a song title says: the words in "(...)", "[...]" or after " - " name a
// featured artist, another recording of the song ("Live", "Remix", "Reprise", "Part 2",
// "Spanish Version"), a recording without lyrics ("Instrumental", "Karaoke"), something that
// does not change the words ("Remastered 2011", "Mono", "Bonus Track"), or none of these, and
// then they are a subtitle, part of the title ("Intro (Harbour Bells)"). Pure; any thread.
#pragma once

#include <string>
#include <vector>

namespace host::matching {

enum class PartKind {
  kFeaturing,  // "feat. Someone", "ft Someone", "featuring Someone"
  kHarmless,   // words that do not change a song's words
  kNoLyrics,   // instrumental, karaoke, backing track: nothing to store
  kVersion,    // another recording, with other words or none
  kSubtitle,   // none of the above: part of the title
};

struct PartMeaning {
  PartKind kind = PartKind::kSubtitle;
  // kVersion and kNoLyrics: the words that name the recording, canonical and sorted:
  // "remix" for "Mix" and "Rmx", "part 2" for "Pt. II", "spanish" for "Versión en Español".
  std::vector<std::string> keys;
  // kVersion: the other words, sorted, that say which one ("roundhouse" of "Live at the
  // Roundhouse", "club" of "Club Mix"); little words ("the", "at") are left out.
  std::vector<std::string> detail;
};

// The meaning of a part from its words, folded (lower case, no accents, no punctuation). A
// part that names a language only with words besides ("French Kiss") is a subtitle.
PartMeaning MeaningOfPart(const std::vector<std::string>& words);

// The number a word spells: "2", "ii", "two" give "2"; empty when it spells none (1 to 20).
std::string NumberWord(const std::string& word);

}  // namespace host::matching
