#include "platform/http_request.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/http_connection.h"
#include "platform/posix/http_handles.h"
#include "platform/posix/http_text.h"
#include "platform/posix/http_transfer.h"
#include "platform/posix/http_wire.h"
#include "platform/system_error.h"

namespace platform {
namespace {

constexpr std::uint32_t kHeaderAlreadyExists = 12208;  // ERROR_WINHTTP_HEADER_ALREADY_EXISTS

using Header = std::pair<std::string, std::string>;

bool Fail(std::uint32_t code) {
  SetLastErrorCode(code);
  return false;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Splits header text into lines at CR and LF, so no line can smuggle in another header.
std::vector<std::string_view> HeaderLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    if (end > pos) lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

bool ParseHeader(std::string_view line, Header* header) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view name = Trim(line.substr(0, colon));
  if (name.empty()) return false;
  *header = {std::string(name), std::string(Trim(line.substr(colon + 1)))};
  return true;
}

// Adds one header to the list as the flags say; 0 or the Windows error number.
std::uint32_t AddHeader(std::vector<Header>& headers, Header header, std::uint32_t flags) {
  auto existing = std::find_if(headers.begin(), headers.end(), [&](const Header& h) {
    return EqualNoCase(h.first, header.first);
  });
  bool found = existing != headers.end();
  if (flags & http::kAddIfNew) {
    if (found) return kHeaderAlreadyExists;
    headers.push_back(std::move(header));
  } else if (flags & http::kReplace) {
    if (found && header.second.empty()) {
      headers.erase(existing);
    } else if (found) {
      *existing = std::move(header);
    } else if (flags & http::kAdd) {
      headers.push_back(std::move(header));
    } else {
      return error::kHttpHeaderNotFound;
    }
  } else {
    headers.push_back(std::move(header));
  }
  return 0;
}

// The value of the final response's header of that name (the first one); false if absent.
bool FindHeader(const std::vector<std::string>& lines, std::string_view name, std::string* value) {
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualNoCase(Trim(line.substr(0, colon)), name)) {
      *value = std::string(Trim(line.substr(colon + 1)));
      return true;
    }
  }
  return false;
}

std::string StatusPart(const std::string& statusLine, bool reason) {
  std::size_t codeStart = statusLine.find(' ');
  if (codeStart == std::string::npos) return {};
  std::string rest = statusLine.substr(codeStart + 1);
  std::size_t reasonStart = rest.find(' ');
  if (!reason) return rest.substr(0, reasonStart);
  return reasonStart == std::string::npos ? std::string() : rest.substr(reasonStart + 1);
}

// The text a header query answers with; 0 or the Windows error number.
std::uint32_t QueryText(const std::vector<std::string>& lines, std::uint32_t level,
                        const WString& name, std::string* text) {
  static constexpr std::pair<std::uint32_t, const char*> kNamed[] = {
      {http::kQueryContentType, "Content-Type"},
      {http::kQueryContentLength, "Content-Length"},
      {http::kQueryLocation, "Location"},
  };
  switch (level) {
    case http::kQueryStatusCode: *text = StatusPart(lines.front(), false); return 0;
    case http::kQueryStatusText: *text = StatusPart(lines.front(), true); return 0;
    case http::kQueryRawHeaders:
    case http::kQueryRawHeadersCrlf: {
      std::string end = level == http::kQueryRawHeaders ? std::string(1, '\0') : "\r\n";
      text->clear();
      for (const auto& line : lines) *text += line + end;
      // The block ends with an empty line; in the zero-separated form the terminator is it.
      if (level == http::kQueryRawHeadersCrlf) *text += end;
      return 0;
    }
    case http::kQueryCustom:
      return FindHeader(lines, posix_http::ToUtf8(name), text) ? 0 : error::kHttpHeaderNotFound;
  }
  for (const auto& [named, header] : kNamed) {
    if (named == level) return FindHeader(lines, header, text) ? 0 : error::kHttpHeaderNotFound;
  }
  return error::kHttpHeaderNotFound;
}

std::uint32_t LeadingNumber(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : Trim(text)) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

}  // namespace

std::unique_ptr<HttpRequest> HttpRequest::OpenChecked(const HttpConnection& connection,
                                                      const WString& verb, const WString& path,
                                                      const WString& referrer,
                                                      std::uint32_t flags) {
  const HttpConnection::Impl& target = connection.impl();
  HttpRequestSetup setup;
  setup.server = target.server;
  setup.port = target.port;
  setup.path = posix_http::EscapeRequestPath(posix_http::ToUtf8(path));
  setup.verb = posix_http::ToUtf8(verb);
  setup.agent = target.session.agent;
  setup.referrer = posix_http::ToUtf8(referrer);
  setup.environmentProxy = target.session.access == HttpAccessType::DefaultProxy;
  setup.proxy = target.session.proxy;
  if (flags & http::kFlagRefresh) {
    setup.headers = {{"Pragma", "no-cache"}, {"Cache-Control", "no-cache"}};
  }
  return std::unique_ptr<HttpRequest>(
      new HttpRequest(std::make_unique<Transfer>(std::move(setup))));
}

HttpRequest::HttpRequest(std::unique_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}
HttpRequest::~HttpRequest() = default;

bool HttpRequest::SetTimeouts(int /*resolveMs*/, int connectMs, int sendMs, int receiveMs) {
  HttpRequestSetup& setup = transfer_->setup();
  setup.connectMs = std::max(connectMs, 0);
  setup.sendMs = std::max(sendMs, 0);
  setup.receiveMs = std::max(receiveMs, 0);
  return true;
}

void HttpRequest::SetCancelCheck(std::function<bool()> cancelled) {
  transfer_->setup().cancelled = std::move(cancelled);
}

bool HttpRequest::AddHeaders(const WString& headers, std::uint32_t flags) {
  if (transfer_->Started()) return Fail(error::kInternetIncorrectHandleState);
  std::string text = posix_http::ToUtf8(headers);
  std::vector<Header> parsed;
  for (std::string_view line : HeaderLines(text)) {
    Header header;
    if (!ParseHeader(line, &header)) return Fail(error::kInvalidParameter);
    parsed.push_back(std::move(header));
  }
  if (parsed.empty()) return Fail(error::kInvalidParameter);
  std::vector<Header> updated = transfer_->setup().headers;
  for (auto& header : parsed) {
    if (std::uint32_t failure = AddHeader(updated, std::move(header), flags)) return Fail(failure);
  }
  transfer_->setup().headers = std::move(updated);
  return true;
}

bool HttpRequest::SetOption(std::uint32_t option, std::uint32_t value) {
  if (option != http::kOptionDisableFeature) return Fail(error::kInvalidParameter);
  if (transfer_->Started()) return Fail(error::kInternetIncorrectHandleState);
  // Cookies are not kept and connections not reused anyway; only redirects can be turned off.
  if (value & http::kDisableRedirects) transfer_->setup().followRedirects = false;
  return true;
}

bool HttpRequest::Send(const std::string& body) {
  if (transfer_->Started()) return Fail(error::kInternetIncorrectHandleState);
  transfer_->setup().body = body;
  std::uint32_t failure = transfer_->Start();
  return failure == 0 || Fail(failure);
}

bool HttpRequest::ReceiveResponse() {
  std::uint32_t failure = transfer_->WaitForResponse();
  return failure == 0 || Fail(failure);
}

bool HttpRequest::QueryHeaders(std::uint32_t infoLevel, const WString& name, void* buffer,
                               std::uint32_t* bufferBytes) {
  if (bufferBytes == nullptr) return Fail(error::kInvalidParameter);
  if (!transfer_->HasResponse()) return Fail(error::kInternetIncorrectHandleState);
  std::string text;
  std::uint32_t level = infoLevel & ~http::kQueryFlagNumber;
  if (std::uint32_t failure = QueryText(transfer_->ResponseLines(), level, name, &text)) {
    return Fail(failure);
  }
  if (infoLevel & http::kQueryFlagNumber) {
    std::uint32_t value = LeadingNumber(text);
    if (buffer == nullptr || *bufferBytes < sizeof value) {
      *bufferBytes = sizeof value;
      return Fail(error::kInsufficientBuffer);
    }
    std::memcpy(buffer, &value, sizeof value);
    *bufferBytes = sizeof value;
    return true;
  }
  WString wide = posix_http::FromLatin1(text);
  auto needed = static_cast<std::uint32_t>((wide.size() + 1) * sizeof(char16_t));
  if (buffer == nullptr || *bufferBytes < needed) {
    *bufferBytes = needed;
    return Fail(error::kInsufficientBuffer);
  }
  std::memcpy(buffer, wide.c_str(), needed);
  *bufferBytes = needed - sizeof(char16_t);
  return true;
}

bool HttpRequest::QueryDataAvailable(std::uint32_t* bytesAvailable) {
  if (bytesAvailable == nullptr) return Fail(error::kInvalidParameter);
  std::size_t available = 0;
  std::uint32_t failure = transfer_->WaitForData(&available);
  *bytesAvailable = static_cast<std::uint32_t>(available);
  return failure == 0 || Fail(failure);
}

bool HttpRequest::ReadData(void* buffer, std::uint32_t bytesToRead, std::uint32_t* bytesRead) {
  if (bytesRead == nullptr || (buffer == nullptr && bytesToRead > 0)) {
    return Fail(error::kInvalidParameter);
  }
  *bytesRead = 0;
  if (transfer_->Buffered() == 0) {
    std::size_t available = 0;
    if (std::uint32_t failure = transfer_->WaitForData(&available)) return Fail(failure);
  }
  *bytesRead = static_cast<std::uint32_t>(transfer_->Read(buffer, bytesToRead));
  return true;
}

}  // namespace platform
