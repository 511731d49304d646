#include "http/download_url.h"

#include "diag/trace_log.h"
#include "http/http_downloader_base.h"
#include "http/user_agent.h"
#include "platform/code_page.h"
#include "platform/system_error.h"
#include "encoding/bytes_to_wide.h"
#include "text/bytes_to_wide.h"
#include "encoding/wide_to_bytes.h"

namespace {

std::string ToBytes(const WString& text) {
  return CWideToBytes(text, platform::kCpThreadAcp).Str();
}

// The system's text for an error number as a 255-character message buffer takes it: a text
// that does not fit, or an unknown number, gives no text.
WString SystemErrorText(std::uint32_t code) {
  constexpr std::size_t kBufferChars = 255;
  WString text = platform::ErrorText(code);
  return text.size() < kBufferChars ? text : WString();
}

}  // namespace

std::int32_t http::DownloadUrl(const WString& url, WString& text, const WString& proxy,
                               std::int32_t codePage, const WString& referrer, WString userAgent,
                               const std::function<bool()>& cancelled) {
  text.clear();
  CHttpDownloaderBase downloader(ToBytes(proxy), WString());
  downloader.m_cancelled = cancelled;
  downloader.m_referrer = ToBytes(referrer);
  diag::TraceWrite(CTraceLog::Debug, u"Download: " + url);
  if (userAgent.empty()) userAgent = MakeUserAgent();
  downloader.SetHeader("User-Agent", ToBytes(userAgent));
  if (!downloader.Download(ToBytes(url))) {
    diag::TraceWrite(CTraceLog::Warning, u"Download fails: " + url + u", Proxy: " + proxy +
                                             u", Response: " + downloader.m_statusText +
                                             u", Error:" + SystemErrorText(downloader.m_lastError));
    return 0;
  }
  if (codePage != 0) {
    text = text::BytesToWide(downloader.m_body, static_cast<std::uint32_t>(codePage));
  } else {
    text = CBytesToWide(downloader.m_body, platform::kCpThreadAcp).Str();
  }
  return 1;
}
