// The artist side of a match. A tag's artist may name a featured artist ("Kestrel feat.
// Someone"), which the site lists under the main artist alone. And the plug-in reports a song
// with the artist as it was asked, never as the site writes it: what the site calls the
// artist shows only in the song page's address ("site/lyrics/chloe-marchand/deja-vu.html"),
// which is what tells "Chloé Marchand" from "Chloe Marchant". Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace host::matching {

// The artist without a featured artist: cut at "feat.", "feat", "featuring" or "ft." after
// the first word, or at a bracket that opens with one of them ("Kestrel (ft Someone)"). Bare
// "ft" outside brackets is a word of the name ("Ten ft Tall"). Blanks at both ends trimmed;
// the name as given when it features no one.
std::string WithoutFeaturedArtist(std::string_view artist);

// The artist's part of a song page's address, "ARTIST" of ".../lyrics/ARTIST/SONG.html";
// empty when the address has no such part.
std::string ArtistInAddress(std::string_view address);

}  // namespace host::matching
