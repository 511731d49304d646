#include "platform/http_request.h"

#include "platform/http_connection.h"
#include "platform/system_error.h"
#include "platform/windows/http_handles.h"
#include "platform/windows/win_text.h"

namespace platform {
namespace {

// WinHTTP takes -1 for "no limit"; the seam takes 0 or any negative value.
int TimeoutValue(int ms) { return ms <= 0 ? -1 : ms; }

// Between WinHTTP's calls: the request's overall time and the caller's cancel check. False
// with the error set when the request must end.
bool MayGoOn(HttpRequest::Transfer& transfer) {
  if (::GetTickCount64() >= transfer.deadline) {
    SetLastErrorCode(error::kInternetTimeout);
    return false;
  }
  const ULONGLONG now = ::GetTickCount64();
  if (transfer.cancelled && now - transfer.lastCancelCheck >= 100) {
    transfer.lastCancelCheck = now;
    if (!transfer.cancelled()) return true;
    SetLastErrorCode(error::kInternetOperationCancelled);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<HttpRequest> HttpRequest::OpenChecked(const HttpConnection& connection,
                                                      const WString& verb, const WString& path,
                                                      const WString& referrer,
                                                      std::uint32_t flags) {
  const HttpConnection::Impl& owner = connection.impl();
  HINTERNET request = ::WinHttpOpenRequest(
      static_cast<HINTERNET>(owner.connection.get()), win::W(verb), win::W(path), nullptr,
      referrer.empty() ? WINHTTP_NO_REFERER : win::W(referrer), WINHTTP_DEFAULT_ACCEPT_TYPES,
      flags);
  if (request == nullptr) return nullptr;
  auto transfer = std::make_unique<Transfer>();
  transfer->session = owner.session;
  transfer->connection = owner.connection;
  transfer->request = win::OwnInternetHandle(request);
  return std::unique_ptr<HttpRequest>(new HttpRequest(std::move(transfer)));
}

HttpRequest::HttpRequest(std::unique_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}
HttpRequest::~HttpRequest() = default;

bool HttpRequest::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
  transfer_->limitMs = OverallLimitMs(connectMs, sendMs, receiveMs);
  return ::WinHttpSetTimeouts(transfer_->get(), TimeoutValue(resolveMs), TimeoutValue(connectMs),
                              TimeoutValue(sendMs), TimeoutValue(receiveMs)) != FALSE;
}

void HttpRequest::SetCancelCheck(std::function<bool()> cancelled) {
  transfer_->cancelled = std::move(cancelled);
}

bool HttpRequest::AddHeaders(const WString& headers, std::uint32_t flags) {
  return ::WinHttpAddRequestHeaders(transfer_->get(), win::W(headers),
                                    static_cast<DWORD>(headers.size()), flags) != FALSE;
}

bool HttpRequest::SetOption(std::uint32_t option, std::uint32_t value) {
  DWORD data = value;
  return ::WinHttpSetOption(transfer_->get(), option, &data, sizeof data) != FALSE;
}

bool HttpRequest::Send(const std::string& body) {
  // WinHTTP reads the body from the caller's buffer during the call; nothing outlives it.
  void* data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
  const auto size = static_cast<DWORD>(body.size());
  transfer_->lastCancelCheck = ::GetTickCount64();
  if (transfer_->limitMs > 0) {
    transfer_->deadline = ::GetTickCount64() + static_cast<ULONGLONG>(transfer_->limitMs);
  }
  return ::WinHttpSendRequest(transfer_->get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, size,
                              size, 0) != FALSE;
}

bool HttpRequest::ReceiveResponse() {
  return ::WinHttpReceiveResponse(transfer_->get(), nullptr) != FALSE;
}

bool HttpRequest::QueryHeaders(std::uint32_t infoLevel, const WString& name, void* buffer,
                               std::uint32_t* bufferBytes) {
  if (bufferBytes == nullptr) {
    SetLastErrorCode(error::kInvalidParameter);
    return false;
  }
  const bool custom = (infoLevel & ~http::kQueryFlagNumber) == http::kQueryCustom;
  DWORD size = *bufferBytes;
  const BOOL done = ::WinHttpQueryHeaders(transfer_->get(), infoLevel,
                                          custom ? win::W(name) : WINHTTP_HEADER_NAME_BY_INDEX,
                                          buffer, &size, WINHTTP_NO_HEADER_INDEX);
  *bufferBytes = size;
  return done != FALSE;
}

bool HttpRequest::QueryDataAvailable(std::uint32_t* bytesAvailable) {
  if (bytesAvailable == nullptr) {
    SetLastErrorCode(error::kInvalidParameter);
    return false;
  }
  *bytesAvailable = 0;
  if (!MayGoOn(*transfer_)) return false;
  DWORD available = 0;
  const BOOL done = ::WinHttpQueryDataAvailable(transfer_->get(), &available);
  *bytesAvailable = available;
  return done != FALSE;
}

bool HttpRequest::ReadData(void* buffer, std::uint32_t bytesToRead, std::uint32_t* bytesRead) {
  if (bytesRead == nullptr) {
    SetLastErrorCode(error::kInvalidParameter);
    return false;
  }
  *bytesRead = 0;
  if (!MayGoOn(*transfer_)) return false;
  DWORD read = 0;
  const BOOL done = ::WinHttpReadData(transfer_->get(), buffer, bytesToRead, &read);
  *bytesRead = read;
  return done != FALSE;
}

}  // namespace platform
