// The other spellings of a song's names to search by when the names as given find nothing.
// Taggers write "Shining Home (Remastered 2011)", "Kestrel feat. Someone", "Salt & Pepper" or
// "Café" where the site says "Shining Home", "Kestrel", "Salt and Pepper" or "Cafe". The
// plug-in's name distance is a fixed contract, so the host forgives these by searching again
// under other names rather than by matching more loosely. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "engine/song_names.h"

namespace host {

// The names to search by, in order, after `asGiven` found nothing. Each step keeps the changes
// of the steps before it, so that a title with a suffix and an accent is still found:
//   1. the title without one trailing part: "(...)", "[...]", or " - ..." (never all of it);
//   2. without "feat. ...", "ft. ..." or "featuring ..." in the artist and the title;
//   3. the words "&" and "and" swapped, in both names;
//   4. both names without accents (Latin letters with diacritics to their base letter).
// A step that changes nothing adds nothing: at most four names, none equal to `asGiven` or to
// another. Ill-formed UTF-8 is left as it is by step 4.
std::vector<SongNames> NameVariants(const SongNames& asGiven);

}  // namespace host
