// The addresses of the lyrics site's two searches. The search text goes into the query
// string; the four characters that would change the query's meaning there (% starts an
// escape, & ends the value, # ends the query, + stands for a space) are percent-encoded, so
// an artist such as "Salt & Pepper" is searched as a whole. Everything else (spaces, quotes,
// non-ASCII letters) is left for the download path, which escapes what a URL cannot carry.
// Pure functions: any thread may call them; they do not fail.
#pragma once

#include "tunewell/wstring.h"

namespace search {

// The search text with "%", "&", "#" and "+" written as "%25", "%26", "%23" and "%2B".
WString EncodeSearchText(WStringView text);

// siteHost + "/search.php?search=" + the encoded text + "&category=artist".
WString ArtistSearchAddress(const WString& siteHost, WStringView artistName);

// siteHost + "/search.php?search=" + the encoded text + "&category=artisttitle".
WString ArtistTitleSearchAddress(const WString& siteHost, WStringView searchText);

}  // namespace search
