// The address handling that links scraped from a page go through: the search query's
// encoding, the bypass-list host name (EnsureScheme, UrlGetHost and the URL-cracking
// stand-in), the downloader's SplitUrl and the escaping of the request path before it goes on
// the wire.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "http/http_downloader_base.h"
#include "http/url_host.h"
#include "platform/posix/http_wire.h"
#include "platform/url.h"
#include "search/search_query.h"

namespace {

// Links are short; longer input only repeats the same paths.
constexpr std::size_t kMaxBytes = 8 * 1024;

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Undoes the four escapes of the search text.
WString DecodeSearchText(WStringView encoded) {
  static constexpr std::pair<WStringView, char16_t> kForms[] = {
      {u"%25", u'%'}, {u"%26", u'&'}, {u"%23", u'#'}, {u"%2B", u'+'}};
  WString text;
  for (std::size_t i = 0; i < encoded.size();) {
    bool decoded = false;
    for (const auto& [form, c] : kForms) {
      if (encoded.substr(i, form.size()) == form) {
        text.push_back(c);
        i += form.size();
        decoded = true;
        break;
      }
    }
    if (!decoded) text.push_back(encoded[i++]);
  }
  return text;
}

void CheckSearchAddress(const WString& text) {
  const WString encoded = search::EncodeSearchText(text);
  fuzz::Check(encoded.find_first_of(u"&#+") == WString::npos,
              "search text \"" + fuzz::Printable(text) + "\" keeps a query character");
  fuzz::Check(DecodeSearchText(encoded) == text,
              "search text \"" + fuzz::Printable(text) + "\" does not decode back");
  // The query keeps its two parameters whatever the text holds.
  const WString address = search::ArtistTitleSearchAddress(u"lyrics.example.test", text);
  const std::size_t amp = address.find(u'&');
  fuzz::Check(amp != WString::npos && address.find(u'&', amp + 1) == WString::npos &&
                  address.find(u'#') == WString::npos,
              "the query of \"" + fuzz::Printable(text) + "\" lost its shape");
}

void CheckSplitUrl(const WString& url) {
  WString host, path;
  std::uint16_t port = 0;
  CHttpDownloaderBase::SplitUrl(url, host, path, port);
  const std::string where = "SplitUrl(\"" + fuzz::Printable(url) + "\"): ";
  fuzz::Check(host.find(u'/') == WString::npos, where + "a slash in the host");
  for (const WString* part : {&host, &path}) {
    fuzz::Check(part->empty() || (!IsBlank(part->front()) && !IsBlank(part->back())),
                where + "\"" + fuzz::Printable(*part) + "\" not trimmed");
  }
}

void CheckRequestPath(std::string_view bytes) {
  const std::string escaped = platform::posix_http::EscapeRequestPath(bytes);
  fuzz::Check(!escaped.empty() && escaped.front() == '/', "request path without a leading /");
  for (const char c : escaped) {
    const auto byte = static_cast<unsigned char>(c);
    fuzz::Check(byte > 0x20 && byte < 0x7F &&
                    std::string_view("\"#<>[\\]^`{|}").find(c) == std::string_view::npos,
                "request path \"" + escaped + "\" carries an unsafe byte");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size, kMaxBytes);
  const WString text = fuzz::WideText(bytes);
  CheckSearchAddress(text);
  CheckSplitUrl(text);
  CheckRequestPath(bytes);

  const WString address = http::EnsureScheme(text, u"http");
  fuzz::Check(address.find(u"://") != WString::npos, "EnsureScheme gave no scheme");
  http::UrlGetHost(address);
  WString host;
  platform::CrackUrlHost(text, host);
  return 0;
}
