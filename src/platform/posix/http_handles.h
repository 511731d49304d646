// The POSIX backend's contents of the session and connection handles, shared by the files of
// the HTTP stand-in. Plain values: a request copies them when it is opened.
#pragma once

#include <cstdint>
#include <string>

#include "platform/http_connection.h"
#include "platform/http_session.h"

namespace platform {

struct HttpSession::Impl {
  std::string agent;        // UTF-8
  HttpAccessType access = HttpAccessType::DefaultProxy;
  std::string proxy;        // for NamedProxy: the entry chosen for http; empty means direct
};

struct HttpConnection::Impl {
  HttpSession::Impl session;
  std::string server;       // UTF-8
  std::uint16_t port = 80;
};

}  // namespace platform
