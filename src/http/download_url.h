// DownloadUrl: the one entry into the HTTP client. It fetches a URL with a CHttpDownloaderBase
// of its own (destroyed on every way out) and hands the body back as wide text. It writes
// "Download: <url>" at Debug before and one "Download fails: ..." line at Warning after a
// failure. It keeps no statistics and makes no retries. Runs on the caller's thread.
#pragma once

#include <cstdint>
#include <functional>

#include "tunewell/wstring.h"

namespace http {

// Fetches url (always plain HTTP) into text: 1 on success, 0 on failure with text empty.
// proxy empty means the system's default proxy. codePage decodes the body (0: the calling
// thread's ANSI code page); the text stops at the body's first zero byte. An empty referrer
// sends none; an empty userAgent sends a fresh MakeUserAgent text. A failed conversion at the
// thread's ANSI code page throws CConversionException. cancelled, when given, is asked about
// every 100 ms while the download waits; true ends it (a failure).
std::int32_t DownloadUrl(const WString& url, WString& text, const WString& proxy,
                         std::int32_t codePage, const WString& referrer, WString userAgent,
                         const std::function<bool()>& cancelled = nullptr);

}  // namespace http
