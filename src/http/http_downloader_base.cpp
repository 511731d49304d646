#include "http/http_downloader_base.h"

#include <algorithm>

#include "diag/trace_log.h"
#include "http/text_trim.h"
#include "platform/code_page.h"
#include "platform/crt_string.h"
#include "platform/system_error.h"
#include "encoding/bytes_to_wide.h"
#include "encoding/wide_to_bytes.h"

namespace {

WString ToWide(const std::string& bytes) {
  return CBytesToWide(bytes, platform::kCpThreadAcp).Str();
}

}  // namespace

CHttpDownloaderBase::CHttpDownloaderBase(const std::string& proxy, const WString& outputFile)
    : m_outputFile(outputFile) {
  WString proxyList = http::TrimWhiteSpace(ToWide(proxy));
  auto access = proxyList.empty() ? platform::HttpAccessType::DefaultProxy
                                  : platform::HttpAccessType::NamedProxy;
  // A null session is not checked here: the connect step fails on it and records the error.
  m_hSession = platform::HttpSession::Open(kSessionAgent, access, proxyList);
}

CHttpDownloaderBase::~CHttpDownloaderBase() { m_hSession.reset(); }

void CHttpDownloaderBase::SetHeader(const std::string& name, const std::string& value) {
  std::string key = http::TrimWhiteSpace(name);
  std::transform(key.begin(), key.end(), key.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  if (key == "cookie") {
    m_cookie = value;
  } else {
    m_requestHeaders[name] = value;
  }
}

bool CHttpDownloaderBase::Download(const std::string& url) {
  m_url = url;
  bool ok = OpenRequest(u"GET") && AddRequestHeaders(0) && SendRequest(std::string()) &&
            ReceiveResponse(false) && DownloadData();
  CloseRequest();
  return ok;
}

void CHttpDownloaderBase::SplitUrl(const WString& url, WString& host, WString& path,
                                   std::uint16_t& port) {
  WString rest = url;
  std::size_t scheme = rest.find(u"://");
  if (scheme != WString::npos) rest.erase(0, scheme + 3);
  std::size_t slash = rest.find(u'/');
  host = rest.substr(0, slash);
  path = slash == WString::npos ? WString() : rest.substr(slash + 1);
  host = http::TrimWhiteSpace(host);
  path = http::TrimWhiteSpace(path);
  port = 80;
  std::size_t colon = host.find(u':');
  if (colon == WString::npos) return;
  WString portText = http::TrimWhiteSpace(host.substr(colon + 1));
  host = http::TrimWhiteSpace(host.substr(0, colon));
  int value = platform::Wtoi(portText.c_str());
  if (value >= 0 && value <= 65535) port = static_cast<std::uint16_t>(value);
}

bool CHttpDownloaderBase::OpenRequest(const WString& verb) {
  m_statusCode = 0;
  m_statusText.clear();
  WString referrer = http::TrimWhiteSpace(ToWide(m_referrer));
  WString host, path;
  std::uint16_t port = 0;
  SplitUrl(ToWide(m_url), host, path, port);
  if (host.empty()) return false;
  m_hConnect = platform::HttpConnection::Open(m_hSession.get(), host, port);
  if (!m_hConnect) {
    m_lastError = platform::GetLastErrorCode();
    return false;
  }
  m_hRequest = platform::HttpRequest::Open(m_hConnect.get(), verb, path, referrer,
                                           platform::http::kFlagRefresh);
  if (!m_hRequest) {
    m_lastError = platform::GetLastErrorCode();
    return false;
  }
  return true;
}

bool CHttpDownloaderBase::AddRequestHeaders(std::uint32_t disabledFeatures) {
  if (!m_hConnect || !m_hRequest) return false;
  if (m_cancelled) m_hRequest->SetCancelCheck(m_cancelled);
  if (m_timeoutMs > 0) {
    int timeout = static_cast<int>(std::min<std::uint32_t>(m_timeoutMs, 0x7FFFFFFF));
    m_hRequest->SetTimeouts(0, timeout, timeout, timeout);
  }
  constexpr std::uint32_t kAddOrReplace = platform::http::kAdd | platform::http::kReplace;
  if (!m_cookie.empty() && !m_hRequest->AddHeaders(u"Cookie: " + ToWide(m_cookie), kAddOrReplace)) {
    return false;
  }
  for (const auto& [name, value] : m_requestHeaders) {
    if (!m_hRequest->AddHeaders(ToWide(name) + u": " + ToWide(value), kAddOrReplace)) {
      return false;
    }
  }
  m_requestHeaders.clear();  // stored headers go out with exactly one request
  if (disabledFeatures != 0 &&
      !m_hRequest->SetOption(platform::http::kOptionDisableFeature, disabledFeatures)) {
    return false;
  }
  return true;
}

bool CHttpDownloaderBase::SendRequest(const std::string& requestBody) {
  if (m_hRequest->Send(requestBody)) return true;
  m_lastError = platform::GetLastErrorCode();
  diag::TraceFormat(CTraceLog::Warning, u"CHttpDownloaderBase::SendRequest - error=[%d]",
                    m_lastError);
  return false;
}

void CHttpDownloaderBase::CloseRequest() {
  m_hRequest.reset();
  m_hConnect.reset();
}
