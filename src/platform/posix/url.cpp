#include "platform/url.h"

#include <curl/curl.h>

#include "platform/posix/http_text.h"
#include "platform/system_error.h"

namespace platform {
namespace {

std::uint32_t ErrorOfUrl(CURLUcode code) {
  bool noScheme = code == CURLUE_BAD_SCHEME || code == CURLUE_NO_SCHEME ||
                  code == CURLUE_UNSUPPORTED_SCHEME;
  return noScheme ? error::kInternetUnrecognizedScheme : error::kInternetInvalidUrl;
}

}  // namespace

bool CrackUrlHost(const WString& url, WString& host) {
  host.clear();
  CURLU* parts = curl_url();
  if (parts == nullptr) {
    SetLastErrorCode(error::kNotEnoughMemory);
    return false;
  }
  std::string text = posix_http::ToUtf8(url);
  CURLUcode code = curl_url_set(parts, CURLUPART_URL, text.c_str(),
                                CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE);
  char* name = nullptr;
  if (code == CURLUE_OK) code = curl_url_get(parts, CURLUPART_HOST, &name, CURLU_URLDECODE);
  if (code == CURLUE_OK) host = posix_http::FromUtf8(name);
  curl_free(name);
  curl_url_cleanup(parts);
  if (code != CURLUE_OK) SetLastErrorCode(ErrorOfUrl(code));
  return code == CURLUE_OK;
}

}  // namespace platform
