#include "http/http_downloader_base.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitUrl, HostPathAndPortAsWritten) {
  struct Case {
    WString url, host, path;
    std::uint16_t port;
  };
  const Case cases[] = {
      {u"http://host:8080/a/b.php?x=1", u"host", u"a/b.php?x=1", 8080},
      {u"host/x", u"host", u"x", 80},
      {u"https://host/x", u"host", u"x", 80},
      {u"ftp://host", u"host", u"", 80},
      {u"http://host/", u"host", u"", 80},
      {u"http://host:/x", u"host", u"x", 0},
      {u"http://host:abc/x", u"host", u"x", 0},
      {u"http://host: 81 /x", u"host", u"x", 81},
      {u"http://host:65535/x", u"host", u"x", 65535},
      {u"http://host:65536/x", u"host", u"x", 80},
      {u"http://host:-1/x", u"host", u"x", 80},
      {u"http://host:+90x/x", u"host", u"x", 90},
      {u"  http://  host  /  spaced path  ", u"host", u"spaced path", 80},
      {u"a://b://host/x", u"b", u"/host/x", 0},
      {u"http:///x", u"", u"x", 80},
      {u"http://host/p#frag://x", u"host", u"p#frag://x", 80},
  };
  for (const auto& c : cases) {
    WString host = u"stale", path = u"stale";
    std::uint16_t port = 1;
    CHttpDownloaderBase::SplitUrl(c.url, host, path, port);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(port, c.port);
  }
}

TEST(SetHeader, CookieByTrimmedLowerNameOtherHeadersByExactName) {
  CHttpDownloaderBase downloader("", u"");
  downloader.SetHeader("  CoOkIe\t", "a=1");
  downloader.SetHeader("X-Name", "one");
  downloader.SetHeader("X-Name", "two");
  downloader.SetHeader("x-name", "lower");
  downloader.SetHeader(" X-Name", "spaced");
  EXPECT_EQ(downloader.m_cookie, "a=1");
  const std::map<std::string, std::string> expected = {
      {" X-Name", "spaced"}, {"X-Name", "two"}, {"x-name", "lower"}};
  EXPECT_EQ(downloader.m_requestHeaders, expected);
}

TEST(Download, EmptyHostFailsBeforeAnyConnectionAndKeepsTheLastError) {
  CHttpDownloaderBase downloader("", u"");
  downloader.m_lastError = 4242;
  EXPECT_FALSE(downloader.Download("http:///path"));
  EXPECT_EQ(downloader.m_lastError, 4242u);
  EXPECT_EQ(downloader.m_statusCode, 0u);
  EXPECT_EQ(downloader.m_hConnect, nullptr);
}

}  // namespace
