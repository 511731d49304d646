// The song lookup: fills the host's song list from the lyrics site, either with every song
// of an artist (FindArtistSongList, from the artist's page) or with the one song that best
// matches an artist and a title (FindSong, from the site's combined search). The entries
// carry the site's song title, the artist name as the host gave it, the song page's address
// (site host + link, no scheme) and the plug-in's source name and id.
//
// Runs on the thread that called the plug-in's slot. The song list belongs to the host; these
// operations only empty it and append to it. Failures are results (0), never exceptions,
// apart from std::bad_alloc.
#pragma once

#include <cstdint>

#include "search/search_context.h"
#include "tunewell/host_interface.h"
#include "tunewell/wstring.h"

namespace search {

// A song link on an artist page: group 1 the link (relative to the site root), group 2 the
// link text, which ends in " Lyrics".
inline constexpr const char16_t* kSongLinkPattern =
    uR"re(<a\s+href="([^"]+)" title[^>]*>([^<]+ Lyrics)</a></li>)re";

// One result of the combined search: group 1 the artist as displayed (with "<strong>" tags),
// group 6 the song page's link, group 7 the title from the link's title attribute.
inline constexpr const char16_t* kSongResultPattern =
    uR"re(<h3><a href[^>]+>((([^<])|(<strong>)|(</strong>))+)</a></h3>\s*<a href="([^"]+)" title="([^"]+) Lyrics" >(([^<])|(<strong>)|(</strong>))+ Lyrics</a>)re";

// Finds the artist's page through the object's own FindArtist slot, empties songs and appends
// one entry per song link of the page, in page order. Returns the number of entries in songs.
// 0 with songs untouched when the artist is not found (Warning "FindArtistSongList():Can not
// find artistUrl for: " + artist) or the page cannot be downloaded; 0 with the entries
// appended so far when the host cancels; 0 with songs empty when the page lists no song
// (Warning "FindArtistSongList():Can not find any Lyrics for: " + artist). A null songs gives
// 0 at once. The one-byte option is not read.
std::int32_t FindArtistSongList(const SearchContext& context, const WString& artist,
                                SongList* songs, std::uint8_t option);

// Searches the site for artist and title together and appends the best result to songs
// (never emptied here): the running bound starts at the host's "MaxMatchDifference", a result
// must have both its artist and its title distance strictly below it and then lowers it to its
// artist distance; an exact artist ends the scan. Returns 1 (or -1 when returnMinusOne is
// non-zero) when an entry was appended; 0 when nothing matched, the download failed or the
// host cancelled, and 0 when both names are empty or songs is null. An empty title with a
// non-empty artist gives FindArtistSongList for the artist instead.
std::int32_t FindSong(const SearchContext& context, const WString& artist, const WString& title,
                      SongList* songs, std::uint8_t returnMinusOne);

}  // namespace search
