// The WinHTTP stand-in against the fault server: what arrives, what goes out, and the Windows
// error number of every failure. (Here beside the POSIX backend because starting the server
// takes POSIX calls.)
#include "platform/http_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/http_connection.h"
#include "platform/http_session.h"
#include "platform/system_error.h"
#include "servers/server_process.h"

namespace platform {
namespace {

using test_servers::FaultServer;
using test_servers::RawPath;

WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

// Text with each '|' standing for a zero character, as in a raw header block.
WString Zeros(WString text) {
  std::replace(text.begin(), text.end(), u'|', u'\0');
  return text;
}

// A session, connection and GET request for a path (without its leading '/') of a server.
struct Exchange {
  Exchange(const std::string& host, std::uint16_t port, const std::string& path,
           std::uint32_t flags = http::kFlagRefresh, const std::string& agent = "agent/1") {
    session = HttpSession::Open(Wide(agent), HttpAccessType::NoProxy, u"");
    connection = HttpConnection::Open(session.get(), Wide(host), port);
    request = HttpRequest::Open(connection.get(), u"GET", Wide(path), u"", flags);
  }
  Exchange(const FaultServer& server, const std::string& path,
           std::uint32_t flags = http::kFlagRefresh)
      : Exchange("127.0.0.1", static_cast<std::uint16_t>(server.port()), path, flags) {}

  // Sends, receives and reads the whole body; 0 or the error number of the failing step.
  // A pause before the body lets the server fill every buffer on the way.
  std::uint32_t Run(std::string* body = nullptr, std::uint32_t* largestChunk = nullptr,
                    int pauseMs = 0) {
    if (!request->Send("") || !request->ReceiveResponse()) return GetLastErrorCode();
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    for (;;) {
      std::uint32_t available = 0;
      if (!request->QueryDataAvailable(&available)) return GetLastErrorCode();
      if (available == 0) return 0;
      if (largestChunk) *largestChunk = std::max(*largestChunk, available);
      std::string chunk(available, '\0');
      std::uint32_t read = 0;
      if (!request->ReadData(chunk.data(), available, &read)) return GetLastErrorCode();
      EXPECT_EQ(read, available);
      if (body) body->append(chunk, 0, read);
    }
  }

  WString Text(std::uint32_t level, const WString& name = u"") {
    std::uint32_t size = 0;
    if (request->QueryHeaders(level, name, nullptr, &size)) return u"<no size query>";
    if (GetLastErrorCode() != error::kInsufficientBuffer) return u"<error " + Wide(std::to_string(GetLastErrorCode())) + u">";
    WString text(size / 2, u'\0');
    if (!request->QueryHeaders(level, name, text.data(), &size)) return u"<failed>";
    text.resize(size / 2);
    return text;
  }

  std::uint32_t Number(std::uint32_t level) {
    std::uint32_t value = 0, size = sizeof value;
    return request->QueryHeaders(level | http::kQueryFlagNumber, u"", &value, &size) ? value : 0xFFFFFFFF;
  }

  std::unique_ptr<HttpSession> session;
  std::unique_ptr<HttpConnection> connection;
  std::unique_ptr<HttpRequest> request;
};

bool IsPattern(const std::string& body) {
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (static_cast<unsigned char>(body[i]) != i % 251) return false;
  }
  return true;
}

class HttpRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new FaultServer(); }
  static void TearDownTestSuite() { delete server_; }
  static FaultServer* server_;
};
FaultServer* HttpRequestTest::server_ = nullptr;

TEST_F(HttpRequestTest, StreamsALargeBodyThroughABoundedBuffer) {
  Exchange exchange(*server_, "body?size=2000000");
  std::string body;
  std::uint32_t largest = 0;
  ASSERT_EQ(exchange.Run(&body, &largest, 300), 0u);
  EXPECT_EQ(body.size(), 2000000u);
  EXPECT_TRUE(IsPattern(body));
  EXPECT_EQ(exchange.Number(http::kQueryContentLength), 2000000u);
  // Never more than the buffer limit plus one of libcurl's reads is held at once.
  EXPECT_LE(largest, HttpRequest::kMaxBufferedBody);
}

TEST_F(HttpRequestTest, ReportsStatusTextAndHeadersOfTheFinalResponse) {
  struct Case {
    std::string path;
    std::uint32_t status;
    WString text;
    std::size_t bodySize;
  };
  const Case cases[] = {
      {"status?code=404&reason=Nobody%20Home%20Here", 404, u"Nobody Home Here", 11},
      {"status?code=204&reason=No%20Content", 204, u"No Content", 0},
      {"empty", 200, u"OK", 0},
      {RawPath("HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nhi").substr(1), 200, u"", 2},
      {"redirect?n=3", 200, u"OK", 7},
      {RawPath("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </x>\r\n\r\n"
               "HTTP/1.1 201 Made\r\nContent-Length: 2\r\n\r\nhi").substr(1), 201, u"Made", 2},
      {"chunked?pieces=6&size=333&delay_ms=30", 200, u"OK", 1998},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Exchange exchange(*server_, c.path);
    std::string body;
    ASSERT_EQ(exchange.Run(&body), 0u);
    EXPECT_EQ(exchange.Number(http::kQueryStatusCode), c.status);
    EXPECT_EQ(exchange.Text(http::kQueryStatusText), c.text);
    EXPECT_EQ(body.size(), c.bodySize);
  }
}

TEST_F(HttpRequestTest, RawHeaderBlockHoldsOnlyTheFinalResponse) {
  Exchange exchange(*server_, "redirect?n=2");
  ASSERT_EQ(exchange.Run(), 0u);
  WString raw = exchange.Text(http::kQueryRawHeaders);
  EXPECT_EQ(raw.substr(0, 16), Zeros(u"HTTP/1.1 200 OK|"));
  EXPECT_EQ(raw.find(u"Location"), WString::npos);
  EXPECT_EQ(raw.substr(raw.size() - 1), WString(1, u'\0'));
  WString crlf = exchange.Text(http::kQueryRawHeadersCrlf);
  EXPECT_EQ(crlf.substr(0, 17), u"HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(crlf.substr(crlf.size() - 4), u"\r\n\r\n");
}

TEST_F(HttpRequestTest, KeepsOddHeaderLinesAndReasonPhrasesAsSent) {
  Exchange exchange(*server_, RawPath("HTTP/1.1 200 Fine \xE9t\xE9\r\n:colon-first\r\n"
                                      "Set-Cookie: a=1\r\nSet-Cookie: b=2\r\n"
                                      "Content-Length: 0\r\n\r\n").substr(1));
  ASSERT_EQ(exchange.Run(), 0u);
  EXPECT_EQ(exchange.Text(http::kQueryStatusText), u"Fine \u00E9t\u00E9");
  WString raw = exchange.Text(http::kQueryRawHeaders);
  EXPECT_NE(raw.find(Zeros(u"|:colon-first|")), WString::npos);
  EXPECT_NE(raw.find(Zeros(u"|Set-Cookie: a=1|Set-Cookie: b=2|")), WString::npos);
  EXPECT_EQ(exchange.Text(http::kQueryCustom, u"set-cookie"), u"a=1");
}

TEST_F(HttpRequestTest, HeaderQueriesFollowWinHttpSizing) {
  Exchange exchange(*server_, "empty");
  std::uint32_t size = 0;
  EXPECT_FALSE(exchange.request->QueryHeaders(http::kQueryStatusText, u"", nullptr, &size));
  EXPECT_EQ(GetLastErrorCode(), error::kInternetIncorrectHandleState);
  ASSERT_EQ(exchange.Run(), 0u);
  EXPECT_FALSE(exchange.request->QueryHeaders(http::kQueryStatusText, u"", nullptr, &size));
  EXPECT_EQ(GetLastErrorCode(), error::kInsufficientBuffer);
  EXPECT_EQ(size, 6u);  // "OK" and its terminator, in bytes
  char16_t small[2];
  size = sizeof small;
  EXPECT_FALSE(exchange.request->QueryHeaders(http::kQueryStatusText, u"", small, &size));
  EXPECT_EQ(size, 6u);
  EXPECT_FALSE(exchange.request->QueryHeaders(http::kQueryLocation, u"", nullptr, &size));
  EXPECT_EQ(GetLastErrorCode(), error::kHttpHeaderNotFound);
  EXPECT_EQ(exchange.Text(http::kQueryContentType), u"<error 12150>");
}

// The downloader's tests cover the common failures; these are the stand-in's own cases.
TEST_F(HttpRequestTest, RedirectsAndInterimAnswersFailAsWinHttpDoes) {
  struct Case {
    std::string path;
    std::uint32_t error;
  };
  const Case cases[] = {
      {RawPath("HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/x\r\n"
               "Content-Length: 0\r\n\r\n").substr(1), error::kHttpRedirectFailed},
      {RawPath("HTTP/1.1 100 Continue\r\n\r\n").substr(1), error::kHttpInvalidServerResponse},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Exchange exchange(*server_, c.path);
    EXPECT_EQ(exchange.Run(), c.error);
  }
}

TEST_F(HttpRequestTest, TruncatedBodyDeliversWhatCameBeforeTheError) {
  Exchange exchange(*server_, "truncate?size=100000&sent=5000");
  std::string body;
  EXPECT_EQ(exchange.Run(&body), error::kInternetConnectionAborted);
  EXPECT_EQ(body.size(), 5000u);
  EXPECT_TRUE(IsPattern(body));
}

TEST_F(HttpRequestTest, ReceiveTimeOutGives12002) {
  Exchange exchange(*server_, "silent?ms=5000");
  ASSERT_TRUE(exchange.request->SetTimeouts(0, 2000, 300, 300));
  ASSERT_TRUE(exchange.request->Send(""));
  EXPECT_FALSE(exchange.request->ReceiveResponse());
  EXPECT_EQ(GetLastErrorCode(), error::kInternetTimeout);
}

TEST(HttpRequestConnect, ServerNameThatIsNoHostNameFailsAtSend) {
  Exchange exchange("bad host", 80, "x");
  EXPECT_FALSE(exchange.request->Send(""));
  EXPECT_EQ(GetLastErrorCode(), error::kInternetInvalidUrl);
}

TEST(HttpRequestOpen, NullHandlesAndEmptyNamesFail) {
  EXPECT_EQ(HttpConnection::Open(nullptr, u"host", 80), nullptr);
  EXPECT_EQ(GetLastErrorCode(), error::kInvalidHandle);
  auto session = HttpSession::Open(u"a", HttpAccessType::DefaultProxy, u"");
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(HttpConnection::Open(session.get(), u"", 80), nullptr);
  EXPECT_EQ(GetLastErrorCode(), error::kInvalidParameter);
  EXPECT_EQ(HttpRequest::Open(nullptr, u"GET", u"", u"", 0), nullptr);
  EXPECT_EQ(GetLastErrorCode(), error::kInvalidHandle);
}

// The request head as the server saw it (the /echo route answers with it).
std::string EchoedHead(Exchange& exchange) {
  std::string body;
  EXPECT_EQ(exchange.Run(&body), 0u);
  return body;
}

TEST_F(HttpRequestTest, SendsWinHttpDefaultsAndAddedHeaders) {
  Exchange exchange(*server_, "echo");
  ASSERT_TRUE(exchange.request->AddHeaders(u"X-B: 1", http::kAdd | http::kReplace));
  ASSERT_TRUE(exchange.request->AddHeaders(u"X-A: 2", http::kAdd | http::kReplace));
  ASSERT_TRUE(exchange.request->AddHeaders(u"x-b: 3", http::kAdd | http::kReplace));
  ASSERT_TRUE(exchange.request->AddHeaders(u"User-Agent: mine", http::kAdd | http::kReplace));
  std::string head = EchoedHead(exchange);
  EXPECT_EQ(head.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_NE(head.find("\r\nx-b: 3\r\nX-A: 2\r\nUser-Agent: mine\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("X-B: 1"), std::string::npos);
  EXPECT_EQ(head.find("agent/1"), std::string::npos);
  EXPECT_EQ(head.find("Accept"), std::string::npos) << head;  // neither Accept nor Accept-Encoding
}

TEST_F(HttpRequestTest, AddHeadersFlagsAndRefusals) {
  Exchange exchange(*server_, "echo", 0);
  EXPECT_FALSE(exchange.request->AddHeaders(u"no colon", http::kAdd));
  EXPECT_EQ(GetLastErrorCode(), error::kInvalidParameter);
  EXPECT_FALSE(exchange.request->AddHeaders(u": no name", http::kAdd));
  EXPECT_FALSE(exchange.request->AddHeaders(u"X-Gone: 1", http::kReplace));
  EXPECT_EQ(GetLastErrorCode(), error::kHttpHeaderNotFound);
  ASSERT_TRUE(exchange.request->AddHeaders(u"X-One: 1\r\nX-Two: 2", http::kAdd));
  EXPECT_FALSE(exchange.request->AddHeaders(u"X-ONE: again", http::kAddIfNew));
  ASSERT_TRUE(exchange.request->AddHeaders(u"X-Two:", http::kReplace));  // removes it
  ASSERT_TRUE(exchange.request->AddHeaders(u"X-Empty: ", http::kAdd));
  std::string head = EchoedHead(exchange);
  EXPECT_NE(head.find("\r\nX-One: 1\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("X-Two"), std::string::npos);
  EXPECT_NE(head.find("\r\nX-Empty:"), std::string::npos);
  EXPECT_EQ(head.find("Pragma"), std::string::npos);  // not asked for without the refresh flag
  EXPECT_FALSE(exchange.request->AddHeaders(u"X-Late: 1", http::kAdd));
  EXPECT_EQ(GetLastErrorCode(), error::kInternetIncorrectHandleState);
}

TEST_F(HttpRequestTest, EscapesTheRequestPathAsWinHttpDoes) {
  Exchange exchange(*server_, "");
  exchange.request = HttpRequest::Open(exchange.connection.get(), u"GET",
                                       u"echo/a b/\u00E9\u20AC/%41&x/./../{|}?q=1&r=%zz#frag",
                                       u"", 0);
  std::string head = EchoedHead(exchange);
  EXPECT_EQ(head.substr(0, head.find("\r\n")),
            "GET /echo/a%20b/%C3%A9%E2%82%AC/%41&x/./../%7B%7C%7D?q=1&r=%zz%23frag HTTP/1.1");
}

TEST_F(HttpRequestTest, DisabledRedirectsMakeTheRedirectFinal) {
  Exchange exchange(*server_, "redirect?n=1");
  ASSERT_TRUE(exchange.request->SetOption(http::kOptionDisableFeature, http::kDisableRedirects));
  ASSERT_EQ(exchange.Run(), 0u);
  EXPECT_EQ(exchange.Number(http::kQueryStatusCode), 302u);
  EXPECT_EQ(exchange.Text(http::kQueryLocation), u"/redirect?n=0");
}

TEST_F(HttpRequestTest, SendsTheReferrer) {
  Exchange exchange(*server_, "");
  exchange.request = HttpRequest::Open(exchange.connection.get(), u"GET", u"echo",
                                       u"http://from.example/page", 0);
  EXPECT_NE(EchoedHead(exchange).find("\r\nReferer: http://from.example/page\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace platform
