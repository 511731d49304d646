// CCommonDllInterface: the common base of the plug-in objects. It implements the property
// protocol (SetProperty, GetProperty, CallMethod), NotifyHost, IsCancelled and DownloadPage,
// and holds the members every plug-in object shares. The search slots stay pure. The object
// owns its artist cache; the host callback is the host's. One thread at a time uses an object.
// No exception leaves a slot: failures are logged and become a 0 or false result.
#pragma once

#include <cstdint>
#include <memory>

#include "tunewell/plugin_interface.h"
#include "tunewell/wstring.h"

class CArtistUrlCache;

template <class TInterface>
class CCommonDllInterface : public CPluginSlots<TInterface> {
 public:
  CCommonDllInterface();
  ~CCommonDllInterface() override;

  int SetProperty(const WString& name, const WString* value) override;
  int GetProperty(const WString& name, void* result) override;
  int CallMethod(const WString& name, void* argument) override;
  void NotifyHost() override;
  bool IsCancelled() override;
  int DownloadPage(const WString& url, WString& page) override;

  // The host callback, for the search operations (null when none is set).
  CHostCallback* HostCallback() const { return this->hostCallback; }
  CArtistUrlCache* ArtistCache() const { return artistCache.get(); }

 protected:
  std::unique_ptr<CArtistUrlCache> artistCache;
  WString sourceName;
  WString version;
  WString siteHost;
  WString sourceId;
  std::int32_t codePage = 0;
  std::int32_t supportedSearch = 0;
  std::int32_t albumsIterationConstant = 0;
  std::int32_t titlesIterationConstant = 0;
  std::int32_t downloadCounter = 0;
  std::int32_t successfulDownloads = 0;
  std::int32_t totalDownloadTime = 0;  // milliseconds

 private:
  int CreateArtistCache(const WString& prefix, const WString& folder);
};

extern template class CCommonDllInterface<CLyricsDllInterface>;
