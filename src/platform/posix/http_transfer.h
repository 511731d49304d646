// HttpRequest::Transfer, the POSIX backend of a request: one libcurl easy handle driven by a
// multi handle of its own, so that every WinHTTP step (send, receive, data available, read)
// runs the transfer only as far as that step needs. The body passes through a bounded buffer:
// when it is full the transfer is paused until the reader drains it. Owned by its HttpRequest;
// one thread at a time. Results are Windows error numbers (0 for success).
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/http_request.h"

namespace platform {

// Everything a request sends, gathered before it is sent.
struct HttpRequestSetup {
  std::string server;        // UTF-8 host name
  std::uint16_t port = 80;
  std::string path;          // escaped, starting with '/'
  std::string verb;
  std::string agent;
  std::string referrer;      // empty: none
  std::vector<std::pair<std::string, std::string>> headers;  // in the order they go out
  bool environmentProxy = true;  // the system default: http_proxy / no_proxy
  std::string proxy;             // otherwise this proxy; empty means direct
  int connectMs = 60000;         // 0: no limit
  int sendMs = 30000;
  int receiveMs = 30000;
  bool followRedirects = true;
  std::string body;
  std::function<bool()> cancelled;  // empty: never asked
};

class HttpRequest::Transfer {
 public:
  // Body bytes held before the transfer is paused; libcurl hands over at most one more read.
  static constexpr std::size_t kBufferLimit = 128 * 1024;
  static constexpr long kReadSize = 64 * 1024;

  static_assert(kBufferLimit + kReadSize <= HttpRequest::kMaxBufferedBody);

  explicit Transfer(HttpRequestSetup setup) : setup_(std::move(setup)) {}
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  HttpRequestSetup& setup() { return setup_; }
  bool Started() const { return easy_ != nullptr; }
  bool HasResponse() const { return finalHeaders_; }
  // The final response's header lines without their line ends, the status line first.
  const std::vector<std::string>& ResponseLines() const { return lines_; }

  // Connects and starts sending; returns once the request is on its way (or the transfer
  // ended, successfully or not).
  std::uint32_t Start();
  // Runs the transfer until the final response's headers are in.
  std::uint32_t WaitForResponse();
  // Runs the transfer until body bytes are buffered or the body ended (*available 0).
  std::uint32_t WaitForData(std::size_t* available);
  // Takes up to size buffered bytes; the number taken.
  std::size_t Read(void* buffer, std::size_t size);
  std::size_t Buffered() const { return buffer_.size() - readPos_; }

 private:
  using Condition = bool (Transfer::*)() const;

  bool RequestGoingOut() const { return prereqCalls_ > 0 || finalHeaders_ || done_; }
  bool ResponseOrDone() const { return finalHeaders_ || done_; }
  bool DataOrDone() const { return Buffered() > 0 || done_; }

  bool Configure(const std::string& url);
  std::uint32_t Drive(Condition reached, int idleLimitMs);
  void CollectDone();
  std::uint32_t DoneError() const;
  void Resume();
  void OnHeaderLine(std::string line);
  bool FinishHeaderBlock();

  static std::size_t HeaderCallback(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t BodyCallback(char* data, std::size_t size, std::size_t count, void* self);
  static int PrereqCallback(void* self, char*, char*, int, int);

  HttpRequestSetup setup_;
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  curl_slist* headerList_ = nullptr;

  std::uint64_t activity_ = 0;   // grows with every callback: the idle clock's reference
  int prereqCalls_ = 0;
  bool redirectPending_ = false; // a redirect was accepted and its request not yet sent
  bool expectStatusLine_ = true;
  int blockStatus_ = 0;
  std::vector<std::string> lines_;
  bool finalHeaders_ = false;

  std::string buffer_;
  std::size_t readPos_ = 0;
  bool paused_ = false;

  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  std::uint32_t ownError_ = 0;   // a failure decided here rather than by libcurl
  // The end of the request's overall time (HttpRequest::OverallLimitMs), from its start.
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
  // The cancel check is first asked a period after the start: a quick request never asks it.
  std::chrono::steady_clock::time_point lastCancelCheck_{};
};

}  // namespace platform
