// Opening a connection or a request: the argument checks, as WinHTTP makes them, in front of
// each backend's own half (OpenChecked).
#include "platform/http_connection.h"
#include "platform/http_request.h"
#include "platform/system_error.h"

namespace platform {

std::unique_ptr<HttpConnection> HttpConnection::Open(const HttpSession* session,
                                                     const WString& server,
                                                     std::uint16_t port) {
  if (session == nullptr) {
    SetLastErrorCode(error::kInvalidHandle);
    return nullptr;
  }
  if (server.empty()) {
    SetLastErrorCode(error::kInvalidParameter);
    return nullptr;
  }
  return OpenChecked(*session, server, port);
}

std::unique_ptr<HttpRequest> HttpRequest::Open(const HttpConnection* connection,
                                               const WString& verb, const WString& path,
                                               const WString& referrer, std::uint32_t flags) {
  if (connection == nullptr) {
    SetLastErrorCode(error::kInvalidHandle);
    return nullptr;
  }
  if (verb.empty()) {
    SetLastErrorCode(error::kInvalidParameter);
    return nullptr;
  }
  return OpenChecked(*connection, verb, path, referrer, flags);
}

std::int64_t HttpRequest::OverallLimitMs(int connectMs, int sendMs, int receiveMs) {
  if (connectMs <= 0 || sendMs <= 0 || receiveMs <= 0) return 0;
  return std::int64_t{connectMs} + sendMs + receiveMs;
}

}  // namespace platform
