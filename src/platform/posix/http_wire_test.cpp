#include "platform/posix/http_wire.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "platform/system_error.h"

namespace platform::posix_http {
namespace {

TEST(EscapeRequestPath, EscapesWhatWinHttpEscapes) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", "/"},
      {"a/b.php?x=1", "/a/b.php?x=1"},
      {"/already", "/already"},
      {"a b", "/a%20b"},
      {"\xC2\x80", "/%C2%80"},
      {std::string("\x01\x1F\x7F", 3), "/%01%1F%7F"},
      {"\"#<>[\\]^`{|}", "/%22%23%3C%3E%5B%5C%5D%5E%60%7B%7C%7D"},
      {"%41%zz&!$'()*+,-./:;=?@_~", "/%41%zz&!$'()*+,-./:;=?@_~"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeRequestPath(c.in), c.out) << c.in;
}

TEST(SelectHttpProxy, TakesTheFirstEntryForHttp) {
  struct Case {
    std::string list, proxy;
  };
  const Case cases[] = {
      {"", ""},
      {"   ", ""},
      {"proxy:8080", "proxy:8080"},
      {"  proxy:8080  ", "proxy:8080"},
      {"https=secure:443;http=plain:80", "plain:80"},
      {"HTTP=plain:80", "plain:80"},
      {"https=secure:443 ftp=f:21", ""},
      {"https=secure:443 any:3128 http=late:80", "any:3128"},
      {"http://proxy:3128", "http://proxy:3128"},
      {"http=http://proxy:3128", "http://proxy:3128"},
      {";;a:1;b:2", "a:1"},
  };
  for (const auto& c : cases) EXPECT_EQ(SelectHttpProxy(c.list), c.proxy) << c.list;
}

TEST(HttpErrorFromCurl, SchemeAndUrlErrorsDependOnARedirect) {
  EXPECT_EQ(HttpErrorFromCurl(CURLE_UNSUPPORTED_PROTOCOL, false),
            error::kHttpInvalidServerResponse);
  EXPECT_EQ(HttpErrorFromCurl(CURLE_UNSUPPORTED_PROTOCOL, true), error::kHttpRedirectFailed);
  EXPECT_EQ(HttpErrorFromCurl(CURLE_URL_MALFORMAT, false), error::kInternetInvalidUrl);
  EXPECT_EQ(HttpErrorFromCurl(CURLE_URL_MALFORMAT, true), error::kHttpRedirectFailed);
  EXPECT_EQ(HttpErrorFromCurl(CURLE_COULDNT_RESOLVE_HOST, true), error::kInternetNameNotResolved);
  EXPECT_EQ(HttpErrorFromCurl(CURLE_FTP_WEIRD_PASV_REPLY, false), error::kInternetInternalError);
}

}  // namespace
}  // namespace platform::posix_http
