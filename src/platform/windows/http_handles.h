// The Windows backend's contents of the session, connection and request handles: WinHTTP's
// own handles, shared so that a session or connection closed by its owner stays open until
// the last request opened on it goes, as the seam promises.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/http_connection.h"
#include "platform/http_request.h"
#include "platform/http_session.h"

namespace platform {

namespace win {
using InternetHandle = std::shared_ptr<void>;

inline InternetHandle OwnInternetHandle(HINTERNET handle) {
  return InternetHandle(handle, [](HINTERNET h) { ::WinHttpCloseHandle(h); });
}
}  // namespace win

struct HttpSession::Impl {
  win::InternetHandle session;
};

struct HttpConnection::Impl {
  win::InternetHandle session;
  win::InternetHandle connection;
};

class HttpRequest::Transfer {
 public:
  win::InternetHandle session;
  win::InternetHandle connection;
  win::InternetHandle request;
  HINTERNET get() const { return static_cast<HINTERNET>(request.get()); }
  // WinHTTP's default time-outs until SetTimeouts; the deadline is set by Send.
  std::int64_t limitMs = HttpRequest::OverallLimitMs(60000, 30000, 30000);
  ULONGLONG deadline = ~0ull;
  ULONGLONG lastCancelCheck = 0;  // set by Send: a quick request never asks the check
  std::function<bool()> cancelled;
};

}  // namespace platform
