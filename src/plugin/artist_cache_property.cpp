#include "diag/trace_log.h"
#include "plugin/common_dll_interface.h"

// The artist cache is created once per object, from the folder the host names.
template <class TInterface>
int CCommonDllInterface<TInterface>::CreateArtistCache(const WString& prefix, const WString& folder) {
  if (artistCache) {
    TraceWrite(CTraceLog::Info, prefix + u"already ini.lized");
    return 0;
  }
  if (folder.empty()) {
    TraceWrite(CTraceLog::Warning, prefix + u"Path not specified");
    return 0;
  }
  // The cache class is not part of this build yet: refuse rather than pretend.
  TraceWrite(CTraceLog::Warning, prefix + u" - Can not be set.");
  return 0;
}

template int CCommonDllInterface<CLyricsDllInterface>::CreateArtistCache(const WString&,
                                                                          const WString&);
