// HttpSession: the stand-in for a synchronous WinHTTP session (WinHttpOpen). It holds what
// every request of the session shares: the agent name that goes out as User-Agent unless a
// request replaces it, and the proxy (a named proxy list, or the system default, which on this
// platform is the environment's http_proxy / no_proxy). Its owner closes it by destroying it;
// requests copy what they need, so a session may go before its requests. One thread at a time
// uses a session.
#pragma once

#include <cstdint>
#include <memory>

#include "tunewell/wstring.h"

namespace platform {

enum class HttpAccessType : std::uint32_t {
  DefaultProxy = 0,  // the system's proxy setting
  NoProxy = 1,       // direct connections only
  NamedProxy = 3,    // the proxy list given to Open
};

class HttpSession {
 public:
  struct Impl;

  // Opens a session. proxyList is read for NamedProxy only: entries
  // "[scheme=][scheme://]server[:port]" separated by ';' or white space; the first entry for
  // http (or for every scheme) is used, none means direct. Returns null with the last error set
  // (12004) only when the HTTP library cannot be initialised.
  static std::unique_ptr<HttpSession> Open(const WString& agent, HttpAccessType access,
                                           const WString& proxyList);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  const Impl& impl() const { return *impl_; }

 private:
  explicit HttpSession(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
