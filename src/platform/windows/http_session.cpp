#include "platform/http_session.h"

#include "platform/windows/http_handles.h"
#include "platform/windows/win_text.h"

namespace platform {

HttpSession::HttpSession(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HttpSession::~HttpSession() = default;

std::unique_ptr<HttpSession> HttpSession::Open(const WString& agent, HttpAccessType access,
                                               const WString& proxyList) {
  const bool named = access == HttpAccessType::NamedProxy;
  // A named proxy list without a proxy in it means direct connections, as on POSIX.
  const bool direct = access == HttpAccessType::NoProxy || (named && proxyList.empty());
  const DWORD type = direct    ? WINHTTP_ACCESS_TYPE_NO_PROXY
                     : named   ? WINHTTP_ACCESS_TYPE_NAMED_PROXY
                               : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
  HINTERNET session =
      ::WinHttpOpen(win::W(agent), type, named && !direct ? win::W(proxyList) : WINHTTP_NO_PROXY_NAME,
                    WINHTTP_NO_PROXY_BYPASS, 0);
  if (session == nullptr) return nullptr;  // WinHTTP set the last error
  auto impl = std::make_unique<Impl>();
  impl->session = win::OwnInternetHandle(session);
  return std::unique_ptr<HttpSession>(new HttpSession(std::move(impl)));
}

}  // namespace platform
