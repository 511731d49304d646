#include "http/url_host.h"

#include "diag/trace_log.h"
#include "platform/system_error.h"
#include "platform/url.h"

WString http::EnsureScheme(const WString& address, const WString& scheme) {
  if (address.find(u"://") != WString::npos) return address;
  return scheme + u"://" + address;
}

WString http::UrlGetHost(const WString& address) {
  if (address.empty()) return WString();
  WString host;
  if (platform::CrackUrlHost(address, host)) return host;
  diag::TraceLastError(CTraceLog::Error, u"UrlGetHost: InternetCrackUrl ",
                       platform::GetLastErrorCode());
  return WString();
}
