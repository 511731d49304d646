#include "plugin/common_dll_interface.h"

// Pages cannot be fetched until the HTTP client is part of the build: every download fails.
template <class TInterface>
int CCommonDllInterface<TInterface>::DownloadPage(const WString& /*url*/, WString& page) {
  page.clear();
  return 0;
}

template int CCommonDllInterface<CLyricsDllInterface>::DownloadPage(const WString&, WString&);
