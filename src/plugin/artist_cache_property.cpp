#include "diag/trace_log.h"
#include "plugin/common_dll_interface.h"
#include "search/artist_url_cache.h"

// The artist cache is created once per object, from the folder the host names. Creating it
// touches no disk: the cache makes its folders when it first needs them.
template <class TInterface>
int CCommonDllInterface<TInterface>::CreateArtistCache(const WString& prefix, const WString& folder) {
  if (artistCache) {
    diag::TraceWrite(CTraceLog::Info, prefix + u"already ini.lized");
    return 0;
  }
  if (folder.empty()) {
    diag::TraceWrite(CTraceLog::Warning, prefix + u"Path not specified");
    return 0;
  }
  artistCache = std::make_unique<CArtistUrlCache>(folder, sourceName, sourceId);
  diag::TraceWrite(CTraceLog::Debug, prefix + folder);
  return 1;
}

template int CCommonDllInterface<CLyricsDllInterface>::CreateArtistCache(const WString&,
                                                                          const WString&);
