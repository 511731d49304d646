#include "platform/posix/http_wire.h"

#include <curl/curl.h>

#include <cctype>
#include <utility>

#include "platform/system_error.h"

namespace platform::posix_http {
namespace {

bool MustEscape(unsigned char byte) {
  if (byte < 0x20 || byte >= 0x7F || byte == ' ') return true;
  constexpr std::string_view kUnsafe = "\"#<>[\\]^`{|}";
  return kUnsafe.find(static_cast<char>(byte)) != std::string_view::npos;
}

bool IsListSeparator(char c) { return c == ';' || std::isspace(static_cast<unsigned char>(c)); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// The entry's server part when it applies to plain HTTP, else nothing.
bool EntryForHttp(std::string_view entry, std::string_view* server) {
  std::size_t equals = entry.find('=');
  std::size_t scheme = entry.find("://");
  bool hasSchemePrefix = equals != std::string_view::npos &&
                         (scheme == std::string_view::npos || equals < scheme);
  if (!hasSchemePrefix) {
    *server = entry;
    return true;
  }
  if (equals != 4 || !StartsWithNoCase(entry, "http")) return false;
  *server = entry.substr(equals + 1);
  return true;
}

}  // namespace

std::string EscapeRequestPath(std::string_view utf8Path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8Path.size() + 1);
  if (utf8Path.empty() || utf8Path.front() != '/') out.push_back('/');
  for (char c : utf8Path) {
    auto byte = static_cast<unsigned char>(c);
    if (MustEscape(byte)) {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0x0F]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string SelectHttpProxy(std::string_view proxyList) {
  std::size_t pos = 0;
  while (pos < proxyList.size()) {
    while (pos < proxyList.size() && IsListSeparator(proxyList[pos])) ++pos;
    std::size_t end = pos;
    while (end < proxyList.size() && !IsListSeparator(proxyList[end])) ++end;
    std::string_view server;
    if (end > pos && EntryForHttp(proxyList.substr(pos, end - pos), &server) && !server.empty()) {
      return std::string(server);
    }
    pos = end;
  }
  return {};
}

std::uint32_t HttpErrorFromCurl(int curlCode, bool afterRedirect) {
  static constexpr std::pair<int, std::uint32_t> kMap[] = {
      {CURLE_OK, error::kSuccess},
      {CURLE_COULDNT_RESOLVE_PROXY, error::kInternetNameNotResolved},
      {CURLE_COULDNT_RESOLVE_HOST, error::kInternetNameNotResolved},
      {CURLE_COULDNT_CONNECT, error::kInternetCannotConnect},
      {CURLE_WEIRD_SERVER_REPLY, error::kHttpInvalidServerResponse},
      {CURLE_GOT_NOTHING, error::kHttpInvalidServerResponse},
      {CURLE_PARTIAL_FILE, error::kInternetConnectionAborted},
      {CURLE_SEND_ERROR, error::kInternetConnectionAborted},
      {CURLE_RECV_ERROR, error::kInternetConnectionAborted},
      {CURLE_OPERATION_TIMEDOUT, error::kInternetTimeout},
      {CURLE_TOO_MANY_REDIRECTS, error::kHttpRedirectFailed},
      {CURLE_OUT_OF_MEMORY, error::kNotEnoughMemory},
      {CURLE_ABORTED_BY_CALLBACK, error::kInternetOperationCancelled},
      {CURLE_SSL_CONNECT_ERROR, 12175},  // ERROR_WINHTTP_SECURE_FAILURE
      {CURLE_PEER_FAILED_VERIFICATION, 12175},
  };
  // A scheme or URL libcurl refuses after a redirect is a failed redirect; on the first
  // request it is the server's answer (an HTTP/0.9 or unknown-version reply) or our URL.
  if (curlCode == CURLE_UNSUPPORTED_PROTOCOL || curlCode == CURLE_URL_MALFORMAT) {
    if (afterRedirect) return error::kHttpRedirectFailed;
    return curlCode == CURLE_URL_MALFORMAT ? error::kInternetInvalidUrl
                                           : error::kHttpInvalidServerResponse;
  }
  for (const auto& [curl, windows] : kMap) {
    if (curl == curlCode) return windows;
  }
  return error::kInternetInternalError;
}

}  // namespace platform::posix_http
