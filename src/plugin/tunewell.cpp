#include "plugin/tunewell.h"

#include "plugin/instance_registry.h"

CTunewell::CTunewell() {
  sourceName = kSourceName;
  version = kVersion;
  siteHost = kSiteHost;
  codePage = kCodePage;
  supportedSearch = kSupportedSearch;
}

CTunewell::~CTunewell() { CInstanceRegistry::Instance().Remove(this); }

// The search operations are not part of this build yet; each reports "not found".
int CTunewell::FindArtist(const WString&, WString& artistUrl) {
  artistUrl.clear();
  return 0;
}

int CTunewell::FindArtistSongList(const WString&, SongList*) { return 0; }

int CTunewell::GetLyrics(const WString&, WString& lyrics) {
  lyrics.clear();
  return 0;
}

int CTunewell::FindSong(const WString&, const WString&, SongList*, std::uint8_t) { return 0; }
