#include "search/artist_lookup.h"

#include "diag/trace_log.h"
#include "search/artist_url_cache.h"
#include "search/leading_char.h"
#include "search/name_distance.h"
#include "search/search_query.h"
#include "text/html_entities.h"
#include "text/regex_search.h"

namespace search {
namespace {

// The site files artists by first letter; a name that starts with anything but an ASCII
// letter or digit can be neither searched nor cached.
bool HasLeadingChar(const WString& name) {
  char16_t leading = 0;
  return GetLeadingChar(name, leading, u'#', 1) != 0;
}

bool ReadFromCache(const SearchContext& context, const WString& artistName, WString& artistUrl,
                   float threshold) {
  if (context.artistCache == nullptr) return false;
  if (!context.artistCache->ReadArtistUrl(artistName, artistUrl, threshold)) return false;
  diag::TraceWrite(CTraceLog::Info,
                   u"ArtistUrl found in local cache. " + artistName + u", " + artistUrl);
  return true;
}

struct Candidate {
  WString address;  // site host + link
  WString name;     // entities decoded, then tags stripped
};

Candidate ReadCandidate(const SearchContext& context, const CRegexSearch& matches) {
  Candidate candidate;
  WString link;
  matches.GetGroup(1, link);
  matches.GetGroup(2, candidate.name);
  text::DecodeHtmlEntities(candidate.name);
  StripTags(candidate.name);
  candidate.address = context.siteHost + link;
  return candidate;
}

// Walks the search results in page order and keeps the first of the closest candidates below
// the threshold in artistUrl. Every candidate seen goes to the cache, chosen or not, so that a
// later lookup of a neighbour on the same page needs no search; the page's entries reach the
// files together when the walk ends. True when one was chosen and the host did not cancel.
bool ChooseCandidate(const SearchContext& context, const WString& artistName,
                     const WString& page, float threshold, WString& artistUrl) {
  CRegexSearch matches;
  if (!matches.Init(page, kArtistPattern, true)) return false;
  const CNameDistance measure(0);
  // A cancelled search does not sit out another process's lock on a cache file.
  const CArtistUrlCache::WritePass pass(context.artistCache,
                                        [&context] { return context.plugin.IsCancelled(); });
  float best = threshold;
  bool chosen = false;
  while (matches.FindNext()) {
    if (context.plugin.IsCancelled()) return false;
    const Candidate candidate = ReadCandidate(context, matches);
    if (context.artistCache != nullptr) {
      context.artistCache->WriteArtistUrl(candidate.name, candidate.address);
    }
    const float distance = measure.Distance(artistName, candidate.name);
    if (distance < best) {
      best = distance;
      artistUrl = candidate.address;
      chosen = true;
      if (distance == 0.0f) break;
    }
  }
  return chosen;
}

}  // namespace

// The result says whether this call found the address: a string the host passed in already
// filled does not make a failed lookup a success.
std::int32_t FindArtist(const SearchContext& context, const WString& artistName,
                        WString& artistUrl) {
  if (!HasLeadingChar(artistName)) return 0;
  const float threshold = context.MaxMatchDifference();
  if (ReadFromCache(context, artistName, artistUrl, threshold)) return 1;
  WString page;
  if (!context.plugin.DownloadPage(ArtistSearchAddress(context.siteHost, artistName), page)) {
    return 0;
  }
  return ChooseCandidate(context, artistName, page, threshold, artistUrl) ? 1 : 0;
}

// One pass: the text before the first "<" holds no "<", so each search for the next tag can
// go on from the end of the last one removed.
void StripTags(WString& text) {
  WString kept;
  std::size_t from = 0;
  for (;;) {
    const std::size_t open = text.find(u'<', from);
    const std::size_t close = open == WString::npos ? WString::npos : text.find(u'>', open);
    if (close == WString::npos) {
      if (from == 0) return;  // nothing removed
      kept.append(text, from, WString::npos);
      break;
    }
    kept.append(text, from, open - from);
    from = close + 1;
  }
  text = std::move(kept);
}

}  // namespace search
