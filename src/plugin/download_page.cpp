// CCommonDllInterface::DownloadPage: the only way the search operations fetch a page. Around
// the download driver it stops when the host says so, takes the host's proxy, announces the
// host name to the host's bypass list for the time of the download, and keeps the statistics.
#include <exception>
#include <functional>

#include "diag/trace_log.h"
#include "http/download_url.h"
#include "http/url_host.h"
#include "platform/clock.h"
#include "plugin/common_dll_interface.h"

namespace {

WString BypassHostName(const WString& url) {
  return http::UrlGetHost(http::EnsureScheme(url, u"http"));
}

// The driver throws only when a text conversion fails; that must not reach the host.
std::int32_t DownloadWithoutThrowing(const WString& url, WString& page, const WString& proxy,
                                     std::int32_t codePage,
                                     const std::function<bool()>& cancelled) {
  try {
    return http::DownloadUrl(url, page, proxy, codePage, WString(), WString(), cancelled);
  } catch (const std::exception& e) {
    page.clear();
    diag::TraceFormat(CTraceLog::Error, u"CCommonDllInterface::DownloadPage - exception: %s",
                      e.what());
    return 0;
  }
}

}  // namespace

template <class TInterface>
int CCommonDllInterface<TInterface>::DownloadPage(const WString& url, WString& page) {
  try {
    page.clear();
    if (IsCancelled()) return 0;
    CHostCallback* host = this->hostCallback;
    WString proxy;
    if (host != nullptr) host->QueryValue(u"HttpProxy", &proxy);  // its result does not matter
    ++downloadCounter;

    // The host's object is used only when the host says it supplied one.
    CHostIgnore* ignore = nullptr;
    if (host != nullptr && host->QueryValue(u"HostIgnore", &ignore) == 0) ignore = nullptr;
    if (ignore != nullptr && !IsCancelled()) ignore->AddHost(BypassHostName(url).c_str(), 1);

    const std::uint32_t start = platform::GetTickCount();
    // The host's cancel is asked during the download too: a slow or trickling site must not
    // hold a host that wants to stop until the download's own time-outs run out.
    const std::int32_t result =
        DownloadWithoutThrowing(url, page, proxy, codePage, [this] { return IsCancelled(); });
    const std::uint32_t elapsed = platform::GetTickCount() - start;  // wraps like the tick count
    totalDownloadTime =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(totalDownloadTime) + elapsed);
    if (result != 0) ++successfulDownloads;

    if (ignore != nullptr && !IsCancelled()) ignore->RemoveHost(BypassHostName(url).c_str());
    return result;
  } catch (...) {
    // The host may call this slot directly: nothing may reach it, not even a lack of memory.
    page.clear();
    return 0;
  }
}

template int CCommonDllInterface<CLyricsDllInterface>::DownloadPage(const WString&, WString&);
