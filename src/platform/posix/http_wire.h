// What the HTTP stand-in puts on the wire and reads back from libcurl, kept apart from the
// transfer so each rule can be checked on its own: WinHTTP's escaping of the request path, the
// choice of a proxy from a WinHTTP proxy list, and the Windows error number for a libcurl
// result. Pure functions; any thread may call them; none fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::posix_http {

// The request path as WinHTTP sends it by default: a leading '/' added when missing; bytes
// below 0x20, 0x7F, space, bytes from 0x80 and " # < > [ \ ] ^ ` { | } written as %XX with
// upper-case hex; everything else ('%' included) as it is. utf8Path is the path in UTF-8.
std::string EscapeRequestPath(std::string_view utf8Path);

// The proxy a WinHTTP proxy list names for plain HTTP requests: the first entry
// "[scheme=][scheme://]server[:port]" (entries separated by ';' or white space) that has no
// "scheme=" or has "http=". The result keeps any "scheme://" of the server part; it is empty
// when no entry applies (the request then goes direct).
std::string SelectHttpProxy(std::string_view proxyList);

// The Windows error number for a libcurl result code. afterRedirect tells that the failing
// step followed a redirect, which turns scheme and URL errors into 12156.
std::uint32_t HttpErrorFromCurl(int curlCode, bool afterRedirect);

}  // namespace platform::posix_http
