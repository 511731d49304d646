// The artist lookup: turns an artist name into the address of the artist's page on the lyrics
// site, from the artist URL cache when it knows the name, else from the site's artist search,
// whose every candidate it also records in the cache. StripTags, shared by all the search
// operations, removes the markup from text scraped from a page.
//
// Runs on the thread that called the plug-in's FindArtist slot, from start to end; the only
// waits are the download and the cache's lock. Nothing is kept between calls apart from what
// the cache stores. Failures are results (0), never exceptions, apart from std::bad_alloc.
#pragma once

#include <cstdint>

#include "search/search_context.h"
#include "tunewell/wstring.h"

namespace search {

// The artist search's pattern: group 1 the link, group 2 the displayed name with the site's
// "<strong>" highlight tags.
inline constexpr const char16_t* kArtistPattern =
    uR"re(<h3><a href="([^"]*)"[^>]*>(((<strong>)|(</strong>)|[^<])+)</a></h3>)re";

// 1 with artistUrl = site host + the artist page's link, when the cache knows the name or the
// site's search offers a candidate whose name distance is strictly below the host's
// "MaxMatchDifference" (the first of the closest ones; an exact match ends the scan). 0, with
// nothing logged, when the name does not begin with an ASCII letter or digit; 0 when the
// download fails, nothing is close enough or the host cancels (artistUrl then holds what the
// cache read or an earlier candidate left in it). Writes "ArtistUrl found in local cache. "
// + name + ", " + address at Info on a cache hit.
std::int32_t FindArtist(const SearchContext& context, const WString& artistName,
                        WString& artistUrl);

// Removes every "<" ... ">" run, first "<" to the first ">" after it, in place. A "<" with no
// ">" after it stays, with everything behind it.
void StripTags(WString& text);

}  // namespace search
