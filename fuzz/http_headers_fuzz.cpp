// The response headers and body as a server sends them, through the whole receiving path: the
// HTTP stand-in's reading of the status line and header block, CHttpDownloaderBase's
// ReceiveResponse and ParseResponseHeaders, and DownloadData. Each input is served once by
// raw_response_server.py on 127.0.0.1 (started on first use, ended with the process):
// verbatim when it starts with "HTTP/", else as the header lines after "HTTP/1.1 200 OK".
// Redirects are switched off, so no input sends the request anywhere else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "http/http_downloader_base.h"
#include "platform/http_request.h"
#include "servers/server_process.h"

namespace {

// Header blocks beyond this size are refused by the stand-in's library anyway.
constexpr std::size_t kMaxBytes = 16 * 1024;
constexpr std::uint32_t kTimeoutMs = 10000;

class RawResponseServer {
 public:
  RawResponseServer()
      : response_(fuzz::TempFolder::Path() / "response.bin"),
        process_({"python3", TUNEWELL_SOURCE_DIR "/fuzz/raw_response_server.py", "--response",
                  response_.string()}) {
    const std::string line = process_.ReadLine();
    if (line.rfind("PORT ", 0) != 0) fuzz::Fail("the response server did not start");
    url_ = "http://127.0.0.1:" + line.substr(5) + "/page";
  }
  const std::filesystem::path& response() const { return response_; }
  const std::string& url() const { return url_; }

 private:
  std::filesystem::path response_;
  test_servers::ChildProcess process_;
  std::string url_;
};

RawResponseServer& Server() {
  static RawResponseServer server;
  return server;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// What the parse promises of every header it keeps: a trimmed name up to the line's first
// colon, and a trimmed value. (A bare CR inside a line is not a line end to the library and
// stays in the text; a line whose name is only blanks keeps an empty name.)
void CheckHeaders(const CHttpDownloaderBase& download) {
  for (const auto& [name, values] : download.m_responseHeaders) {
    fuzz::Check(name.empty() || (!IsBlank(name.front()) && !IsBlank(name.back())),
                "header name \"" + name + "\" not trimmed");
    fuzz::Check(name.find(':') == std::string::npos, "header name \"" + name + "\" holds a colon");
    for (const std::string& value : values) {
      fuzz::Check(value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())),
                  "value \"" + value + "\" of " + name + " not trimmed");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The request goes straight to the local server, whatever proxy the environment names.
  setenv("no_proxy", "*", 1);
  setenv("NO_PROXY", "*", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::Bytes(data, size, kMaxBytes);
  std::string response(input);
  if (input.rfind("HTTP/", 0) != 0) response = "HTTP/1.1 200 OK\r\n" + response;
  response += "\r\n\r\n";
  fuzz::WriteFile(Server().response(), response);

  CHttpDownloaderBase download("", WString());
  download.m_timeoutMs = kTimeoutMs;
  download.m_url = Server().url();
  if (download.OpenRequest(u"GET") &&
      download.AddRequestHeaders(platform::http::kDisableRedirects) &&
      download.SendRequest(std::string()) && download.ReceiveResponse(true)) {
    CheckHeaders(download);
    download.DownloadData();
  }
  download.CloseRequest();
  return 0;
}
