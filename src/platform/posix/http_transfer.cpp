#include "platform/posix/http_transfer.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/posix/http_wire.h"
#include "platform/system_error.h"

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

// How often a waiting request asks its cancel check.
constexpr std::chrono::milliseconds kCancelCheckPeriod{100};

// libcurl reads a connect time-out of 0 as its own default of 300 s; WinHTTP's 0 means none.
long ConnectTimeout(int ms) { return ms > 0 ? ms : LONG_MAX; }

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  return std::equal(lowerPrefix.begin(), lowerPrefix.end(), text.begin(),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b + 32 : b); });
}

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// The status code of a status line "HTTP/x.y NNN reason"; 0 when there is none.
int StatusOf(std::string_view line) {
  std::size_t space = line.find(' ');
  if (space == std::string_view::npos || line.size() < space + 4) return 0;
  int code = 0;
  for (std::size_t i = space + 1; i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

std::string_view LocationOf(const std::vector<std::string>& lines) {
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (StartsWithNoCase(lines[i], "location:")) return Trim(std::string_view(lines[i]).substr(9));
  }
  return {};
}

std::string HeaderLine(const std::pair<std::string, std::string>& header) {
  // "Name;" is libcurl's way of sending a header with an empty value ("Name:" would drop it).
  if (header.second.empty()) return header.first + ";";
  return header.first + ": " + header.second;
}

// The URL libcurl is given: the server checked as a host name, the path already escaped.
bool BuildUrl(const HttpRequestSetup& setup, std::string* url) {
  CURLU* parts = curl_url();
  if (parts == nullptr) return false;
  std::string port = std::to_string(setup.port);
  bool ok = curl_url_set(parts, CURLUPART_SCHEME, "http", 0) == CURLUE_OK &&
            curl_url_set(parts, CURLUPART_HOST, setup.server.c_str(), 0) == CURLUE_OK &&
            curl_url_set(parts, CURLUPART_PORT, port.c_str(), 0) == CURLUE_OK;
  char* text = nullptr;
  ok = ok && curl_url_get(parts, CURLUPART_URL, &text, 0) == CURLUE_OK;
  if (ok) {
    *url = text;
    url->pop_back();  // the "/" of an empty path; ours follows
    *url += setup.path;
  }
  curl_free(text);
  curl_url_cleanup(parts);
  return ok;
}

}  // namespace

HttpRequest::Transfer::~Transfer() {
  if (multi_ != nullptr && easy_ != nullptr) curl_multi_remove_handle(multi_, easy_);
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
  curl_slist_free_all(headerList_);
}

bool HttpRequest::Transfer::Configure(const std::string& url) {
  // WinHTTP sends no Accept header with the default accept types; libcurl's "*/*" goes.
  headerList_ = curl_slist_append(headerList_, "Accept:");
  for (const auto& header : setup_.headers) {
    curl_slist* grown = curl_slist_append(headerList_, HeaderLine(header).c_str());
    if (grown == nullptr) return false;
    headerList_ = grown;
  }
  bool ok = headerList_ != nullptr;
  auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(easy_, option, value) == CURLE_OK;
  };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_PATH_AS_IS, 1L);  // WinHTTP sends "." and ".." segments as they are
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, setup_.followRedirects ? 1L : 0L);
  set(CURLOPT_MAXREDIRS, 10L);
  set(CURLOPT_USERAGENT, setup_.agent.c_str());
  if (!setup_.referrer.empty()) set(CURLOPT_REFERER, setup_.referrer.c_str());
  set(CURLOPT_HTTPHEADER, headerList_);
  if (!setup_.environmentProxy) {
    set(CURLOPT_PROXY, setup_.proxy.c_str());  // "" turns the environment's proxy off
    set(CURLOPT_NOPROXY, "");                  // a named proxy has no bypass list
  }
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_CONNECTTIMEOUT_MS, ConnectTimeout(setup_.connectMs));
  set(CURLOPT_BUFFERSIZE, kReadSize);
  if (setup_.verb == "GET") {
    set(CURLOPT_HTTPGET, 1L);
  } else if (setup_.verb == "HEAD") {
    set(CURLOPT_NOBODY, 1L);
  } else {
    set(CURLOPT_CUSTOMREQUEST, setup_.verb.c_str());
  }
  if (!setup_.body.empty()) {
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(setup_.body.size()));
    set(CURLOPT_POSTFIELDS, setup_.body.data());
  }
  set(CURLOPT_HEADERFUNCTION, &Transfer::HeaderCallback);
  set(CURLOPT_HEADERDATA, this);
  set(CURLOPT_WRITEFUNCTION, &Transfer::BodyCallback);
  set(CURLOPT_WRITEDATA, this);
  set(CURLOPT_PREREQFUNCTION, &Transfer::PrereqCallback);
  set(CURLOPT_PREREQDATA, this);
  return ok;
}

std::uint32_t HttpRequest::Transfer::Start() {
  std::string url;
  if (!BuildUrl(setup_, &url)) return error::kInternetInvalidUrl;
  const std::int64_t limitMs =
      HttpRequest::OverallLimitMs(setup_.connectMs, setup_.sendMs, setup_.receiveMs);
  if (limitMs > 0) deadline_ = SteadyClock::now() + std::chrono::milliseconds(limitMs);
  lastCancelCheck_ = SteadyClock::now();
  multi_ = curl_multi_init();
  easy_ = curl_easy_init();
  if (multi_ == nullptr || easy_ == nullptr || !Configure(url) ||
      curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
    return error::kInternetInternalError;
  }
  // Connecting has libcurl's connect time-out; sending a request of our size does not wait.
  if (std::uint32_t failure = Drive(&Transfer::RequestGoingOut, 0)) return failure;
  return done_ ? DoneError() : 0;
}

std::uint32_t HttpRequest::Transfer::WaitForResponse() {
  if (!Started()) return error::kInternetIncorrectHandleState;
  if (std::uint32_t failure = Drive(&Transfer::ResponseOrDone, setup_.receiveMs)) return failure;
  if (finalHeaders_) return 0;
  std::uint32_t failure = DoneError();
  return failure != 0 ? failure : error::kHttpInvalidServerResponse;
}

std::uint32_t HttpRequest::Transfer::WaitForData(std::size_t* available) {
  *available = 0;
  if (!finalHeaders_) return error::kInternetIncorrectHandleState;
  if (paused_ && Buffered() == 0) Resume();
  if (std::uint32_t failure = Drive(&Transfer::DataOrDone, setup_.receiveMs)) return failure;
  *available = Buffered();
  return *available > 0 ? 0 : DoneError();
}

std::size_t HttpRequest::Transfer::Read(void* buffer, std::size_t size) {
  std::size_t count = std::min(size, Buffered());
  std::memcpy(buffer, buffer_.data() + readPos_, count);
  readPos_ += count;
  if (readPos_ == buffer_.size()) {
    buffer_.clear();
    readPos_ = 0;
  }
  if (paused_ && Buffered() < kBufferLimit) Resume();
  return count;
}

// Runs libcurl until the condition holds or the transfer ends. idleLimitMs > 0 fails the wait
// with a time-out when that long passes without any byte or event from the server.
std::uint32_t HttpRequest::Transfer::Drive(Condition reached, int idleLimitMs) {
  std::uint64_t seen = activity_;
  SteadyClock::time_point lastActivity = SteadyClock::now();
  for (;;) {
    if (ownError_ != 0) return ownError_;
    if ((this->*reached)()) return 0;
    const SteadyClock::time_point now = SteadyClock::now();
    if (now >= deadline_) {
      ownError_ = error::kInternetTimeout;  // the whole request took too long
      return ownError_;
    }
    if (setup_.cancelled && now - lastCancelCheck_ >= kCancelCheckPeriod) {
      lastCancelCheck_ = now;
      if (setup_.cancelled()) {
        ownError_ = error::kInternetOperationCancelled;
        return ownError_;
      }
    }
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) return error::kInternetInternalError;
    CollectDone();
    if ((this->*reached)()) return 0;
    int waitMs = 1000;
    if (activity_ != seen) {
      seen = activity_;
      lastActivity = SteadyClock::now();
    }
    if (idleLimitMs > 0) {
      auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() -
                                                                        lastActivity).count();
      if (idle >= idleLimitMs) {
        ownError_ = error::kInternetTimeout;  // the request is spent, as WinHTTP's would be
        return ownError_;
      }
      waitMs = static_cast<int>(std::min<long long>(waitMs, idleLimitMs - idle));
    }
    if (deadline_ != SteadyClock::time_point::max()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline_ - SteadyClock::now()).count() + 1;
      waitMs = static_cast<int>(std::clamp<long long>(left, 0, waitMs));
    }
    if (setup_.cancelled) waitMs = std::min<int>(waitMs, kCancelCheckPeriod.count());
    if (curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr) != CURLM_OK) {
      return error::kInternetInternalError;
    }
  }
}

void HttpRequest::Transfer::CollectDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
      done_ = true;
      result_ = message->data.result;
    }
  }
}

std::uint32_t HttpRequest::Transfer::DoneError() const {
  if (ownError_ != 0) return ownError_;
  return posix_http::HttpErrorFromCurl(result_, redirectPending_);
}

void HttpRequest::Transfer::Resume() {
  paused_ = false;
  curl_easy_pause(easy_, CURLPAUSE_CONT);  // may hand over the held-back bytes at once
}

void HttpRequest::Transfer::OnHeaderLine(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (expectStatusLine_) {
    expectStatusLine_ = false;
    lines_.clear();
    blockStatus_ = StatusOf(line);
    redirectPending_ = false;
    lines_.push_back(std::move(line));
  } else if (!line.empty()) {
    lines_.push_back(std::move(line));
  }
}

// The end of a header block: the final response's, or that of an interim (1xx) response or
// of a redirect that libcurl is about to follow. False stops the transfer.
bool HttpRequest::Transfer::FinishHeaderBlock() {
  expectStatusLine_ = true;
  if (blockStatus_ >= 100 && blockStatus_ < 200) return true;
  std::string_view location = LocationOf(lines_);
  bool followed = setup_.followRedirects && blockStatus_ >= 300 && blockStatus_ < 400 &&
                  !location.empty();
  if (!followed) {
    finalHeaders_ = true;
    return true;
  }
  redirectPending_ = true;
  // WinHTTP never follows a redirect from https down to plain http.
  char* current = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
  if (current != nullptr && StartsWithNoCase(current, "https:") &&
      StartsWithNoCase(location, "http:")) {
    ownError_ = error::kHttpRedirectFailed;
    return false;
  }
  return true;
}

std::size_t HttpRequest::Transfer::HeaderCallback(char* data, std::size_t size,
                                                  std::size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  std::size_t bytes = size * count;
  ++transfer->activity_;
  if (transfer->finalHeaders_) return bytes;  // trailers of a chunked body
  std::string line(data, bytes);
  bool blank = line == "\r\n" || line == "\n";
  if (!blank) {
    transfer->OnHeaderLine(std::move(line));
    return bytes;
  }
  return transfer->FinishHeaderBlock() ? bytes : 0;
}

std::size_t HttpRequest::Transfer::BodyCallback(char* data, std::size_t size, std::size_t count,
                                                void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  std::size_t bytes = size * count;
  ++transfer->activity_;
  if (transfer->Buffered() >= kBufferLimit) {
    transfer->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (transfer->readPos_ > 0 && transfer->readPos_ >= transfer->buffer_.size() / 2) {
    transfer->buffer_.erase(0, transfer->readPos_);
    transfer->readPos_ = 0;
  }
  transfer->buffer_.append(data, bytes);
  return bytes;
}

int HttpRequest::Transfer::PrereqCallback(void* self, char*, char*, int, int) {
  auto* transfer = static_cast<Transfer*>(self);
  ++transfer->activity_;
  ++transfer->prereqCalls_;
  transfer->redirectPending_ = false;
  return CURL_PREREQFUNC_OK;
}

}  // namespace platform
