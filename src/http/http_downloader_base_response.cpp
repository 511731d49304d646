// CHttpDownloaderBase: receiving the response, its headers and its body.
#include <new>
#include <vector>

#include "diag/trace_log.h"
#include "http/http_downloader_base.h"
#include "http/text_trim.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "encoding/wide_to_bytes.h"

namespace {

std::string ToBytes(const WString& text) {
  return CWideToBytes(text, platform::kCpThreadAcp).Str();
}

void Warn(const char16_t* message) { diag::TraceWrite(CTraceLog::Warning, message); }

}  // namespace

bool CHttpDownloaderBase::ReceiveResponse(bool acceptAnyStatus) {
  bool received = false;
  try {
    received = m_hRequest->ReceiveResponse();
  } catch (...) {
    received = false;
  }
  if (!received) {
    m_lastError = platform::GetLastErrorCode();
    return false;
  }
  m_statusCode = QueryNumberHeader(m_hRequest.get(), platform::http::kQueryStatusCode);
  m_statusText = QueryTextHeader(m_hRequest.get(), platform::http::kQueryStatusText);
  if (!acceptAnyStatus && (m_statusCode < 200 || m_statusCode > 299)) return false;
  m_contentLength = QueryNumberHeader(m_hRequest.get(), platform::http::kQueryContentLength);
  m_contentType = ToBytes(QueryTextHeader(m_hRequest.get(), platform::http::kQueryContentType));
  return ParseResponseHeaders();
}

std::uint32_t CHttpDownloaderBase::QueryNumberHeader(platform::HttpRequest* request,
                                                     std::uint32_t infoLevel) {
  std::uint32_t value = 0;
  std::uint32_t size = sizeof value;
  if (!request->QueryHeaders(infoLevel | platform::http::kQueryFlagNumber, WString(), &value,
                             &size)) {
    return 0;
  }
  return value;
}

WString CHttpDownloaderBase::QueryTextHeader(platform::HttpRequest* request,
                                             std::uint32_t infoLevel) {
  std::uint32_t size = 0;
  if (request->QueryHeaders(infoLevel, WString(), nullptr, &size) ||
      platform::GetLastErrorCode() != platform::error::kInsufficientBuffer) {
    return WString();
  }
  std::vector<char16_t> buffer(size + 1, u'\0');
  if (!request->QueryHeaders(infoLevel, WString(), buffer.data(), &size)) return WString();
  return WString(buffer.data());
}

bool CHttpDownloaderBase::ParseResponseHeaders() {
  m_responseHeaders.clear();
  std::uint32_t size = 0;
  bool answered = m_hRequest->QueryHeaders(platform::http::kQueryRawHeaders, WString(), nullptr,
                                           &size);
  m_lastError = platform::GetLastErrorCode();
  if (answered || m_lastError != platform::error::kInsufficientBuffer) return false;
  std::vector<char16_t> block(size / 2 + 1, u'\0');
  std::uint32_t bytes = static_cast<std::uint32_t>(block.size() * sizeof(char16_t));
  if (!m_hRequest->QueryHeaders(platform::http::kQueryRawHeaders, WString(), block.data(),
                                &bytes)) {
    m_lastError = platform::GetLastErrorCode();
    return false;
  }
  block.push_back(u'\0');  // the walk below always meets an empty line
  // Each line ends with a zero; an empty line ends the block. The status line is skipped.
  const char16_t* line = block.data();
  line += WStringView(line).size() + 1;
  while (line < block.data() + block.size() && *line != u'\0') {
    WStringView text(line);
    line += text.size() + 1;
    std::size_t colon = text.find(u':');
    if (colon == WStringView::npos || colon == 0) continue;
    std::string name = ToBytes(http::TrimWhiteSpace(WString(text.substr(0, colon))));
    std::string value = ToBytes(http::TrimWhiteSpace(WString(text.substr(colon + 1))));
    m_responseHeaders[name].push_back(value);
  }
  return true;
}

bool CHttpDownloaderBase::DownloadData() {
  platform::File file;
  if (!m_outputFile.empty() &&
      !file.Open(m_outputFile, platform::File::modeCreate | platform::File::modeWrite |
                                   platform::File::shareExclusive | platform::File::typeBinary)) {
    return false;
  }
  m_bytesReceived = 0;
  std::string stream;
  for (;;) {
    std::uint32_t available = 0;
    if (!m_hRequest->QueryDataAvailable(&available)) {
      m_lastError = platform::GetLastErrorCode();
      diag::TraceFormat(CTraceLog::Warning,
                        u"HttpDownloader::DownloadData WinHttpQueryDataAvailable error=[%d]",
                        m_lastError);
      return false;
    }
    if (available == 0) break;
    if (available > kMaxBodyBytes - m_bytesReceived) {
      diag::TraceFormat(CTraceLog::Warning, u"HttpDownloader::DownloadData body exceeds %u bytes",
                        kMaxBodyBytes);
      return false;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[available + 1]());
    if (!buffer) {
      Warn(u"HttpDownloader::DownloadData OUT OF MEMORY");
      return false;
    }
    std::uint32_t read = 0;
    if (!m_hRequest->ReadData(buffer.get(), available, &read) || read != available) {
      Warn(u"HttpDownloader::DownloadData WinHttpReadData");
      return false;
    }
    if (file.IsOpen()) {
      try {
        file.Write(buffer.get(), read);
      } catch (const platform::FileError&) {
        Warn(u"HttpDownloader::DownloadData write to file");
        return false;
      }
    }
    try {
      stream.append(buffer.get(), read);
    } catch (const std::bad_alloc&) {
      Warn(u"HttpDownloader::DownloadData OUT OF MEMORY");
      return false;
    }
    m_bytesReceived += read;
    if (m_listener != nullptr) m_listener->OnProgress(m_bytesReceived, m_contentLength);
    if (m_abort) return false;
  }
  m_body = std::move(stream);
  return true;
}
