// SearchContext: what one search operation needs of the plug-in object that runs it. The
// object's own DownloadPage, IsCancelled and FindArtist are reached through its interface
// (CLyricsPluginObject), so the operations depend on include/tunewell/ only; the members they
// read (site host, source name and id, the artist cache, the host callback) are handed in.
//
// The context only refers to the object's members: it is built on the stack by a search slot
// for the length of one call and must not outlive the object. It owns nothing. Used on the
// thread that called the slot.
#pragma once

#include "tunewell/host_interface.h"
#include "tunewell/plugin_interface.h"
#include "tunewell/wstring.h"

class CArtistUrlCache;

namespace search {

struct SearchContext {
  CLyricsPluginObject& plugin;     // slots 4 (FindArtist), 10 (IsCancelled), 11 (DownloadPage)
  CHostCallback* hostCallback;     // may be null
  CArtistUrlCache* artistCache;    // null until the host names a cache folder
  const WString& siteHost;         // host name of the lyrics site, no scheme
  const WString& sourceName;
  const WString& sourceId;

  // The largest name distance the host accepts (exclusive): 1.0 unless the host writes
  // another value for "MaxMatchDifference". The host's result code is not looked at: a host
  // that does not answer leaves the preset in force. Asked on every call, never cached.
  float MaxMatchDifference() const;
};

}  // namespace search
