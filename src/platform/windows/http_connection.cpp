#include "platform/http_connection.h"

#include "platform/windows/http_handles.h"
#include "platform/windows/win_text.h"

namespace platform {

std::unique_ptr<HttpConnection> HttpConnection::OpenChecked(const HttpSession& session,
                                                            const WString& server,
                                                            std::uint16_t port) {
  const win::InternetHandle& owner = session.impl().session;
  // INTERNET_DEFAULT_PORT (0) is WinHTTP's own "default port".
  HINTERNET connection = ::WinHttpConnect(static_cast<HINTERNET>(owner.get()), win::W(server),
                                          port, 0);
  if (connection == nullptr) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->session = owner;
  impl->connection = win::OwnInternetHandle(connection);
  return std::unique_ptr<HttpConnection>(new HttpConnection(std::move(impl)));
}

HttpConnection::HttpConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HttpConnection::~HttpConnection() = default;

}  // namespace platform
