#include "platform/http_connection.h"

#include "platform/http_session.h"
#include "platform/posix/http_handles.h"
#include "platform/posix/http_text.h"

namespace platform {

std::unique_ptr<HttpConnection> HttpConnection::OpenChecked(const HttpSession& session,
                                                            const WString& server,
                                                            std::uint16_t port) {
  auto impl = std::make_unique<Impl>();
  impl->session = session.impl();
  impl->server = posix_http::ToUtf8(server);
  impl->port = port == 0 ? 80 : port;  // 0 is WinHTTP's "default port"
  return std::unique_ptr<HttpConnection>(new HttpConnection(std::move(impl)));
}

HttpConnection::HttpConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HttpConnection::~HttpConnection() = default;

}  // namespace platform
