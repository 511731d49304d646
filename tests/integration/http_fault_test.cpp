// The HTTP client (CHttpDownloaderBase and DownloadUrl) against the fault server: healthy
// answers, broken servers and networks, and what each failure leaves for the failure line.
#include <gtest/gtest.h>

#include <list>
#include <map>
#include <string>

#include "http/download_url.h"
#include "http/http_downloader_base.h"
#include "platform/system_error.h"
#include "servers/server_process.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "support/wine.h"
#include "support/trace_capture.h"

namespace {

using test_servers::FaultServer;
using test_servers::RawPath;
using testing_support::TraceCapture;

WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

bool IsPattern(const std::string& body) {
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (static_cast<unsigned char>(body[i]) != i % 251) return false;
  }
  return true;
}

class HttpFaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new FaultServer(); }
  static void TearDownTestSuite() { delete server_; }
  static std::string Url(const std::string& path) { return server_->Url(path); }
  static FaultServer* server_;
};
FaultServer* HttpFaultTest::server_ = nullptr;

TEST_F(HttpFaultTest, SuccessfulAnswersKeepTheirBodyAndStatus) {
  struct Case {
    std::string path;
    std::uint32_t status;
    WString statusText;
    std::string body;  // "<pattern N>" for N bytes of the server's binary pattern
  };
  const Case cases[] = {
      {"/body?size=2000000", 200, u"OK", "<pattern 2000000>"},
      {"/status?code=204&reason=No%20Content", 204, u"No Content", ""},
      {"/status?code=299&reason=Odd%20But%20Fine", 299, u"Odd But Fine", "status body"},
      {"/empty", 200, u"OK", ""},
      {"/chunked?pieces=8&size=500&delay_ms=40", 200, u"OK", "<pattern 4000>"},
      {"/redirect?n=3", 200, u"OK", "arrived"},
      {"/redirect?n=10", 200, u"OK", "arrived"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CHttpDownloaderBase downloader("", u"");
    ASSERT_TRUE(downloader.Download(Url(c.path)));
    EXPECT_EQ(downloader.m_statusCode, c.status);
    EXPECT_EQ(downloader.m_statusText, c.statusText);
    if (c.body.rfind("<pattern ", 0) == 0) {
      EXPECT_EQ(downloader.m_body.size(), std::stoul(c.body.substr(9)));
      EXPECT_TRUE(IsPattern(downloader.m_body));
    } else {
      EXPECT_EQ(downloader.m_body, c.body);
    }
    EXPECT_EQ(downloader.m_bytesReceived, downloader.m_body.size());
    EXPECT_EQ(downloader.m_lastError, platform::error::kInsufficientBuffer);  // the sizing query
    EXPECT_EQ(downloader.m_hRequest, nullptr);
    EXPECT_EQ(downloader.m_hConnect, nullptr);
  }
}

TEST_F(HttpFaultTest, FailuresLeaveTheirErrorNumber) {
  struct Case {
    std::string url;
    std::uint32_t timeoutMs;
    std::uint32_t lastError;
    std::uint32_t status;
    const char* wineDiffers = nullptr;
  };
  const Case cases[] = {
      {Url("/status?code=404&reason=Nobody%20Home"), 0, 0, 404},
      {Url("/status?code=300&reason=Multiple%20Choices"), 0, 0, 300},  // nowhere to go
      {Url("/status?code=199&reason=Early"), 0, 12152, 0,  // a lone 1xx is no answer at all
       "Wine takes a lone 1xx status for the final answer"},
      {Url("/redirect?n=11"), 0, 12156, 0},
      {Url("/truncate?size=100000&sent=5000"), 0, 12030, 200,
       "Wine takes a body cut short of its Content-Length for a whole one"},
      {Url("/silent?ms=3000"), 300, 12002, 0,
       "Wine waits past the receive time-out for the status line, until the server closes"},
      // A byte every 100 ms, each well within the receive time-out, for ever: the request's
      // overall limit (the sum of its time-outs, 1.5 s here) ends it.
      {Url("/chunked?pieces=100000000&size=1&delay_ms=100"), 500, 12002, 200},
      {Url(RawPath("HTTP/1.1 OK\r\n\r\n")), 0, 12152, 0},
      {Url(RawPath("SOMETHING ELSE\r\n\r\n")), 0, 12152, 0},
      {Url(RawPath("HTTP/1.1 200 OK\r\nNo colon at all\r\nContent-Length: 0\r\n\r\n")), 0,
       12152, 0, "Wine takes a header line without a colon"},
      {Url(RawPath("")), 0, 12152, 0},
      {"http://127.0.0.1:" + std::to_string(test_servers::FreePort()) + "/x", 0, 12029, 0},
      {"http://no-such-host.invalid/x", 0, 12007, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    if (testing_support::KnownWineDifference(c.wineDiffers)) continue;
    CHttpDownloaderBase downloader("", u"");
    downloader.m_timeoutMs = c.timeoutMs;
    downloader.m_body = "earlier";
    EXPECT_FALSE(downloader.Download(c.url));
    EXPECT_EQ(downloader.m_lastError, c.lastError);
    EXPECT_EQ(downloader.m_statusCode, c.status);
    EXPECT_EQ(downloader.m_body, "earlier");  // only a complete body is kept
    EXPECT_EQ(downloader.m_hRequest, nullptr);
  }
}

TEST_F(HttpFaultTest, SendFailureAndBodyFailuresAreTraced) {
  TraceCapture trace;
  CHttpDownloaderBase closed("", u"");
  EXPECT_FALSE(closed.Download("http://127.0.0.1:" + std::to_string(test_servers::FreePort())));
  EXPECT_TRUE(trace.HasLine(u"CHttpDownloaderBase::SendRequest - error=[12029]"));
  if (testing_support::KnownWineDifference("Wine takes a body cut short for a whole one")) return;
  CHttpDownloaderBase truncated("", u"");
  EXPECT_FALSE(truncated.Download(Url("/truncate?size=100000&sent=5000")));
  EXPECT_TRUE(trace.HasLine(u"HttpDownloader::DownloadData WinHttpQueryDataAvailable error=[12030]"));
}

TEST_F(HttpFaultTest, BodiesUpTo32MiBPassAndLongerOnesFail) {
  const std::uint32_t limit = CHttpDownloaderBase::kMaxBodyBytes;
  TraceCapture trace;
  CHttpDownloaderBase atLimit("", u"");
  ASSERT_TRUE(atLimit.Download(Url("/body?size=" + std::to_string(limit))));
  EXPECT_EQ(atLimit.m_body.size(), limit);
  EXPECT_FALSE(trace.HasLine(u"HttpDownloader::DownloadData body exceeds 33554432 bytes"));

  CHttpDownloaderBase over("", u"");
  EXPECT_FALSE(over.Download(Url("/body?size=" + std::to_string(limit + 1))));
  EXPECT_TRUE(over.m_body.empty());
  EXPECT_LE(over.m_bytesReceived, limit);
  EXPECT_EQ(over.m_lastError, platform::error::kInsufficientBuffer);
  EXPECT_TRUE(trace.HasLine(u"HttpDownloader::DownloadData body exceeds 33554432 bytes"));
}

TEST_F(HttpFaultTest, ResponseHeadersAreStoredByExactNameInArrivalOrder) {
  const std::string response =
      "HTTP/1.1 200 Fine\r\n"
      "Set-Cookie: a=1; Path=/\r\n"
      "Content-Type: text/html; charset=ISO-8859-1\r\n"
      "set-cookie: lower=1\r\n"
      "Set-Cookie: b=2\r\n"
      "Spaced Name   :   spaced value  \r\n"
      "Empty:\r\n"
      "Time: 12:34:56 http://x/y\r\n"
      ":colon-first\r\n"
      "X-Folded: first\r\n"
      "  folded without colon\r\n"
      "Content-Length: 4\r\n\r\nbody";
  CHttpDownloaderBase downloader("", u"");
  ASSERT_TRUE(downloader.Download(Url(RawPath(response))));
  const std::map<std::string, std::list<std::string>> expected = {
      {"Content-Length", {"4"}},
      {"Content-Type", {"text/html; charset=ISO-8859-1"}},
      {"Empty", {""}},
      {"Set-Cookie", {"a=1; Path=/", "b=2"}},
      {"Spaced Name", {"spaced value"}},
      {"Time", {"12:34:56 http://x/y"}},
      {"X-Folded", {"first"}},
      {"set-cookie", {"lower=1"}},
  };
  EXPECT_EQ(downloader.m_responseHeaders, expected);
  EXPECT_EQ(downloader.m_contentType, "text/html; charset=ISO-8859-1");
  EXPECT_EQ(downloader.m_contentLength, 4u);
  EXPECT_EQ(downloader.m_body, "body");
}

TEST_F(HttpFaultTest, ResponseWithoutHeaderLinesLeavesAnEmptyStore) {
  CHttpDownloaderBase downloader("", u"");
  downloader.m_responseHeaders["Stale"] = {"x"};
  ASSERT_TRUE(downloader.Download(Url(RawPath("HTTP/1.1 200 OK\r\n\r\nuntil close"))));
  EXPECT_TRUE(downloader.m_responseHeaders.empty());
  EXPECT_EQ(downloader.m_contentLength, 0u);
  EXPECT_EQ(downloader.m_contentType, "");
  EXPECT_EQ(downloader.m_body, "until close");
}

struct Recorder : CDownloadProgressListener {
  bool OnProgress(std::uint32_t received, std::uint32_t length) override {
    calls.emplace_back(received, length);
    if (downloader && calls.size() == 2) downloader->m_abort = true;
    return true;
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
  CHttpDownloaderBase* downloader = nullptr;
};

TEST_F(HttpFaultTest, OutputFileListenerAndAbort) {
  testing_support::TempDir dir;
  Recorder complete;
  CHttpDownloaderBase whole("", Wide(dir.File("whole.bin")));
  whole.m_listener = &complete;
  ASSERT_TRUE(whole.Download(Url("/body?size=300000&chunk=1000")));
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("whole.bin")), whole.m_body);
  ASSERT_FALSE(complete.calls.empty());
  EXPECT_EQ(complete.calls.back(), std::make_pair(300000u, 300000u));

  Recorder aborting;
  CHttpDownloaderBase aborted("", Wide(dir.File("aborted.bin")));
  aborting.downloader = &aborted;
  aborted.m_listener = &aborting;
  EXPECT_FALSE(aborted.Download(Url("/body?size=3000000")));
  EXPECT_EQ(aborting.calls.size(), 2u);
  EXPECT_TRUE(aborted.m_body.empty());
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("aborted.bin")).size(), aborting.calls[1].first);

  // A file that cannot be created fails the download without a code of its own: the last
  // one recorded is the header sizing query's.
  CHttpDownloaderBase unwritable("", Wide(dir.File("no-such-folder/x.bin")));
  EXPECT_FALSE(unwritable.Download(Url("/empty")));
  EXPECT_EQ(unwritable.m_lastError, platform::error::kInsufficientBuffer);
}

// DownloadUrl: the text, the trace lines and the failure line.
TEST_F(HttpFaultTest, DownloadUrlDecodesTheBody) {
  struct Case {
    std::string path;
    std::int32_t codePage;
    WString text;
  };
  // The raw answers say that the server closes the connection, as it does: Wine would send
  // the next request on the closed one and, unlike Windows, not try again on a new one.
  const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: ";
  const Case cases[] = {
      {RawPath(head + "6\r\n\r\ncaf\xE9 !"), 28591, u"caf\u00E9 !"},
      {RawPath(head + "5\r\n\r\nab\xC3\xA9!"), 0, u"ab\u00E9!"},
      {RawPath(head + std::string("5\r\n\r\nab\0cd", 10)), 0, u"ab"},
      {RawPath(head + std::string("5\r\n\r\nab\0cd", 10)), 28591, u"ab"},
      {"/empty", 28591, u""},
  };
  for (const auto& c : cases) {
    WString text = u"stale";
    EXPECT_EQ(http::DownloadUrl(Wide(Url(c.path)), text, u"", c.codePage, u"", u""), 1);
    EXPECT_EQ(text, c.text);
  }
  WString text;
  ASSERT_EQ(
      http::DownloadUrl(Wide(Url("/body?size=2000000&letters=1")), text, u"", 28591, u"", u""), 1);
  ASSERT_EQ(text.size(), 2000000u);
  EXPECT_EQ(text.substr(0, 27), u"abcdefghijklmnopqrstuvwxyza");
  EXPECT_EQ(text[1999999], u'a' + 1999999 % 26);
}

TEST_F(HttpFaultTest, DownloadUrlWritesTheDownloadAndFailureLines) {
  struct Case {
    std::string url;
    WString proxy;
    WString tail;  // what follows the URL in the failure line
  };
  const std::string closedPort = "http://127.0.0.1:" + std::to_string(test_servers::FreePort()) + "/x";
  const WString deadProxy = u"  127.0.0.1:" + Wide(std::to_string(test_servers::FreePort())) + u" ";
  const Case cases[] = {
      {Url("/status?code=404&reason=Nobody%20Home"), u"",
       u", Proxy: , Response: Nobody Home, Error:The operation completed successfully.\r\n"},
      {closedPort, u"",
       u", Proxy: , Response: , Error:A connection with the server could not be established\r\n"},
      {Url("/empty"), deadProxy,  // the proxy as passed in, blanks and all
       u", Proxy: " + deadProxy + u", Response: , Error:A connection with the server could not "
       u"be established\r\n"},
      {Url("/truncate?size=100000&sent=5000"), u"",
       u", Proxy: , Response: OK, Error:The connection with the server was terminated "
       u"abnormally\r\n"},
      {Url("/body?size=33554433"), u"",
       u", Proxy: , Response: OK, Error:The data area passed to a system call is too small.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    TraceCapture trace;
    WString text = u"stale";
    EXPECT_EQ(http::DownloadUrl(Wide(c.url), text, c.proxy, 28591, u"", u""), 0);
    EXPECT_EQ(text, u"");
    EXPECT_TRUE(trace.HasLine(u"Download: " + Wide(c.url)));
    EXPECT_TRUE(trace.Contains(u"WRN", u"Download fails: " + Wide(c.url) + c.tail))
        << testing_support::Narrow(trace.Lines().empty() ? u"" : trace.Lines().back().text);
  }
}

}  // namespace
