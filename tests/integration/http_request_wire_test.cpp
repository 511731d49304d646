// What the HTTP client puts on the wire, as the fault server's /echo route saw it.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "http/download_url.h"
#include "http/http_downloader_base.h"
#include "servers/server_process.h"
#include "support/fake_host.h"

namespace {

using test_servers::FaultServer;

WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

std::vector<std::string> Lines(const std::string& head) {
  std::vector<std::string> lines;
  std::size_t start = 0, end;
  while ((end = head.find("\r\n", start)) != std::string::npos && end > start) {
    lines.push_back(head.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The header lines of a request head whose names are among the given ones, in wire order.
std::vector<std::string> Only(const std::string& head, const std::vector<std::string>& names) {
  std::vector<std::string> picked;
  for (const auto& line : Lines(head)) {
    for (const auto& name : names) {
      if (line.rfind(name + ":", 0) == 0) picked.push_back(line);
    }
  }
  return picked;
}

class HttpWireTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new FaultServer(); }
  static void TearDownTestSuite() { delete server_; }
  static std::string Url(const std::string& path) { return server_->Url(path); }

  // The request head of one DownloadUrl call, with the given user agent.
  static std::string EchoThroughDownloadUrl(const std::string& path, const WString& agent) {
    WString text;
    EXPECT_EQ(http::DownloadUrl(Wide(Url(path)), text, u"", 28591, u"", agent), 1);
    return testing_support::Narrow(text);
  }
  static FaultServer* server_;
};
FaultServer* HttpWireTest::server_ = nullptr;

TEST_F(HttpWireTest, RequestPathIsEscapedAsWinHttpEscapes) {
  WString text;
  WString url = Wide(Url("/echo/a b/")) + u"\u00E9\u20AC/x&y%41/\"<>|?q=a b&r=%zz#frag";
  ASSERT_EQ(http::DownloadUrl(url, text, u"", 28591, u"", u"agent"), 1);
  std::string head = testing_support::Narrow(text);
  EXPECT_EQ(Lines(head).at(0),
            "GET /echo/a%20b/%C3%A9%E2%82%AC/x&y%41/%22%3C%3E%7C?q=a%20b&r=%zz%23frag HTTP/1.1");
}

TEST_F(HttpWireTest, CookieGoesFirstThenStoredHeadersInByteOrder) {
  CHttpDownloaderBase downloader("", u"");
  downloader.SetHeader("Zeta", "z");
  downloader.SetHeader("beta", "b");
  downloader.SetHeader("Alpha", "a");
  downloader.SetHeader(" COOKIE ", "session=1");
  downloader.SetHeader("User-Agent", "Stored/1.0");
  ASSERT_TRUE(downloader.Download(Url("/echo")));
  const std::vector<std::string> expected = {"Cookie: session=1", "Alpha: a",
                                             "User-Agent: Stored/1.0", "Zeta: z", "beta: b"};
  EXPECT_EQ(Only(downloader.m_body, {"Cookie", "Alpha", "User-Agent", "Zeta", "beta"}), expected)
      << downloader.m_body;
  EXPECT_TRUE(downloader.m_requestHeaders.empty());

  // A second request of the same object sends the cookie again, but none of the stored headers.
  ASSERT_TRUE(downloader.Download(Url("/echo")));
  EXPECT_EQ(Only(downloader.m_body, {"Cookie", "Alpha", "Zeta", "beta"}),
            std::vector<std::string>{"Cookie: session=1"});
  // The session's own agent name is back when no User-Agent header is stored.
  EXPECT_EQ(Only(downloader.m_body, {"User-Agent"}),
            std::vector<std::string>{"User-Agent: " +
                                     testing_support::Narrow(CHttpDownloaderBase::kSessionAgent)});
}

TEST_F(HttpWireTest, GeneratedUserAgentReplacesTheSessionAgent) {
  std::string head = EchoThroughDownloadUrl("/echo", u"");
  std::vector<std::string> agents = Only(head, {"User-Agent"});
  ASSERT_EQ(agents.size(), 1u) << head;
  EXPECT_TRUE(std::regex_match(
      agents[0], std::regex("User-Agent: Mozilla/4\\.0 \\(compatible; MSIE [678]\\.0; Windows NT "
                            "[56]\\.[01][^)]*\\)")))
      << agents[0];
  EXPECT_NE(agents[0], "User-Agent: " + testing_support::Narrow(CHttpDownloaderBase::kSessionAgent));

  EXPECT_EQ(Only(EchoThroughDownloadUrl("/echo", u"Given/2.0"), {"User-Agent"}),
            std::vector<std::string>{"User-Agent: Given/2.0"});
}

TEST_F(HttpWireTest, NoCacheHeadersAndNothingElseUnasked) {
  std::string head = EchoThroughDownloadUrl("/echo", u"agent");
  EXPECT_EQ(Only(head, {"Pragma", "Cache-Control"}),
            (std::vector<std::string>{"Pragma: no-cache", "Cache-Control: no-cache"}));
  EXPECT_EQ(head.find("Accept"), std::string::npos) << head;  // no Accept, no Accept-Encoding
  EXPECT_EQ(head.find("Referer"), std::string::npos);
  EXPECT_EQ(Only(head, {"Host"}), std::vector<std::string>{"Host: " + server_->HostPort()});
}

TEST_F(HttpWireTest, ReferrerIsSentTrimmed) {
  WString text;
  ASSERT_EQ(http::DownloadUrl(Wide(Url("/echo")), text, u"", 28591,
                              u"  http://from.example/page \t", u"agent"),
            1);
  EXPECT_EQ(Only(testing_support::Narrow(text), {"Referer"}),
            std::vector<std::string>{"Referer: http://from.example/page"});
}

TEST_F(HttpWireTest, AnyOtherSchemeIsFetchedAsPlainHttp) {
  WString text;
  ASSERT_EQ(http::DownloadUrl(u"https://" + Wide(server_->HostPort()) + u"/echo", text, u"", 28591,
                              u"", u"agent"),
            1);
  EXPECT_EQ(Lines(testing_support::Narrow(text)).at(0), "GET /echo HTTP/1.1");
}

}  // namespace
