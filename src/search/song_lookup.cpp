#include "search/song_lookup.h"

#include "diag/trace_log.h"
#include "search/artist_lookup.h"
#include "search/name_distance.h"
#include "search/search_query.h"
#include "search/text_replace.h"
#include "text/html_entities.h"
#include "text/regex_search.h"

namespace search {
namespace {

constexpr WStringView kLyricsSuffix = u" Lyrics";

SongEntry MakeEntry(const SearchContext& context, const WString& title, const WString& artist,
                    const WString& url) {
  SongEntry entry;
  entry.title = title;
  entry.artist = artist;
  entry.url = url;
  entry.sourceName = context.sourceName;
  entry.sourceId = context.sourceId;
  return entry;
}

// Appends one entry per song link of the artist page, in page order, duplicates included.
// False when the host cancelled; what was appended stays.
bool AppendSongLinks(const SearchContext& context, const WString& artist, const WString& page,
                     SongList& songs) {
  CRegexSearch matches;
  if (!matches.Init(page, kSongLinkPattern, true)) return true;
  while (matches.FindNext()) {
    if (context.plugin.IsCancelled()) return false;
    WString link, title;
    matches.GetGroup(1, link);
    matches.GetGroup(2, title);
    text::DecodeHtmlEntities(title);
    ReplaceAll(title, kLyricsSuffix, u"");
    // The artist page's links are relative to the site root and carry no leading slash.
    songs.Append(MakeEntry(context, title, artist, context.siteHost + u"/" + link));
  }
  return true;
}

struct SongResult {
  WString artist;  // as the site displays it: tags stripped, then entities decoded
  WString title;
  WString link;
};

SongResult ReadSongResult(const CRegexSearch& matches) {
  SongResult result;
  matches.GetGroup(6, result.link);
  matches.GetGroup(7, result.title);
  matches.GetGroup(1, result.artist);
  StripTags(result.artist);
  text::DecodeHtmlEntities(result.title);
  text::DecodeHtmlEntities(result.artist);
  return result;
}

enum class Scan { Found, NotFound, Cancelled };

// Scores every result against the running bound; the entry of the last result accepted is
// left in chosen. One bound serves the artist and the title test, and an accepted result
// lowers it to its artist distance only.
Scan ChooseSong(const SearchContext& context, const WString& artist, const WString& title,
                const WString& page, SongEntry& chosen) {
  float best = context.MaxMatchDifference();
  CRegexSearch matches;
  if (!matches.Init(page, kSongResultPattern, true)) return Scan::NotFound;
  const CNameDistance measure(0);
  Scan scan = Scan::NotFound;
  while (matches.FindNext()) {
    if (context.plugin.IsCancelled()) return Scan::Cancelled;
    const SongResult result = ReadSongResult(matches);
    const float artistDistance = measure.Distance(artist, result.artist);
    if (!(artistDistance < best)) continue;
    if (!(measure.Distance(title, result.title) < best)) continue;
    scan = Scan::Found;
    best = artistDistance;
    // Search result links start at the site root: no separator is added.
    chosen = MakeEntry(context, result.title, artist, context.siteHost + result.link);
    if (artistDistance == 0.0f) break;
  }
  return scan;
}

}  // namespace

std::int32_t FindArtistSongList(const SearchContext& context, const WString& artist,
                                SongList* songs, std::uint8_t /*option*/) {
  if (songs == nullptr) return 0;
  WString artistUrl;
  if (!context.plugin.FindArtist(artist, artistUrl)) {
    diag::TraceWrite(CTraceLog::Warning,
                     u"FindArtistSongList():Can not find artistUrl for: " + artist);
    return 0;
  }
  WString page;
  if (!context.plugin.DownloadPage(artistUrl, page)) return 0;
  songs->RemoveAll();
  if (!AppendSongLinks(context, artist, page, *songs)) return 0;
  if (songs->GetCount() == 0) {
    diag::TraceWrite(CTraceLog::Warning,
                     u"FindArtistSongList():Can not find any Lyrics for: " + artist);
  }
  return songs->GetCount();
}

std::int32_t FindSong(const SearchContext& context, const WString& artist, const WString& title,
                      SongList* songs, std::uint8_t returnMinusOne) {
  if (songs == nullptr || (artist.empty() && title.empty())) return 0;
  if (title.empty()) return FindArtistSongList(context, artist, songs, 0);
  WString page;
  const WString address = ArtistTitleSearchAddress(context.siteHost, artist + u" " + title);
  if (!context.plugin.DownloadPage(address, page)) return 0;
  SongEntry chosen;
  if (ChooseSong(context, artist, title, page, chosen) != Scan::Found) return 0;
  songs->Append(chosen);
  return returnMinusOne != 0 ? -1 : 1;
}

}  // namespace search
