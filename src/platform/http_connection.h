// HttpConnection: the stand-in for a WinHTTP connection handle (WinHttpConnect): the server and
// port that requests opened on it go to. Like WinHTTP it makes no network contact itself; the
// connection is made when a request is sent. The owner destroys it after its requests; each
// request keeps its own copy of what it needs. One thread at a time uses a connection.
#pragma once

#include <cstdint>
#include <memory>

#include "tunewell/wstring.h"

namespace platform {

class HttpSession;

class HttpConnection {
 public:
  struct Impl;

  // A port of 0 stands for the default HTTP port, 80. Returns null with the last error set:
  // 6 (invalid handle) for a null session, 87 for an empty server name.
  static std::unique_ptr<HttpConnection> Open(const HttpSession* session, const WString& server,
                                              std::uint16_t port);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  const Impl& impl() const { return *impl_; }

 private:
  // Open after its arguments were checked (http_open.cpp): the backend's half.
  static std::unique_ptr<HttpConnection> OpenChecked(const HttpSession& session,
                                                     const WString& server, std::uint16_t port);
  explicit HttpConnection(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
