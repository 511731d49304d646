#include "plugin/tunewell.h"

#include <exception>

#include "diag/trace_log.h"
#include "plugin/instance_registry.h"
#include "search/artist_lookup.h"
#include "search/lyrics_extraction.h"
#include "search/search_context.h"
#include "search/song_lookup.h"
#include "text/bytes_to_wide.h"

CTunewell::CTunewell() {
  sourceName = kSourceName;
  version = kVersion;
  siteHost = kSiteHost;
  codePage = kCodePage;
  supportedSearch = kSupportedSearch;
}

CTunewell::~CTunewell() { CInstanceRegistry::Instance().Remove(this); }

namespace {

void LogEscapedException(const char16_t* slot, const char* what) {
  try {
    diag::TraceWrite(CTraceLog::Error, WString(slot) + u" - caught exception: what=" +
                                           text::BytesToWide(what, CTunewell::kCodePage));
  } catch (...) {
    // Nothing more can be done without memory; the slot still answers "not found".
  }
}

// No exception may reach the host: whatever escapes a search (memory running out, as a rule)
// is logged under the slot's name and reported as "not found".
template <class Search>
int Guarded(const char16_t* slot, Search&& search) {
  try {
    return search();
  } catch (const std::exception& error) {
    LogEscapedException(slot, error.what());
  } catch (...) {
    LogEscapedException(slot, "unknown exception");
  }
  return 0;
}

}  // namespace

// Each slot hands the search what it needs of this object, for the length of the call.
int CTunewell::FindArtist(const WString& artist, WString& artistUrl) {
  const search::SearchContext context{*this,    hostCallback, artistCache.get(),
                                      siteHost, sourceName,   sourceId};
  return Guarded(u"CTunewell::FindArtist", [&] {
    return search::FindArtist(context, artist, artistUrl);
  });
}

int CTunewell::FindArtistSongList(const WString& artist, SongList* songs) {
  const search::SearchContext context{*this,    hostCallback, artistCache.get(),
                                      siteHost, sourceName,   sourceId};
  return Guarded(u"CTunewell::FindArtistSongList", [&] {
    return search::FindArtistSongList(context, artist, songs, 0);
  });
}

int CTunewell::GetLyrics(const WString& songUrl, WString& lyrics) {
  const search::SearchContext context{*this,    hostCallback, artistCache.get(),
                                      siteHost, sourceName,   sourceId};
  return Guarded(u"CTunewell::GetLyrics", [&] {
    return search::GetLyrics(context, songUrl, lyrics);
  });
}

int CTunewell::FindSong(const WString& artist, const WString& title, SongList* songs,
                        std::uint8_t option) {
  const search::SearchContext context{*this,    hostCallback, artistCache.get(),
                                      siteHost, sourceName,   sourceId};
  return Guarded(u"CTunewell::FindSong", [&] {
    return search::FindSong(context, artist, title, songs, option);
  });
}
