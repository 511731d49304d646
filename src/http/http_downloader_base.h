// CHttpDownloaderBase: one synchronous HTTP GET over the platform's WinHTTP stand-in, keeping
// the response body as raw bytes. The owner creates one object per download, sets the referrer
// (m_referrer) and headers (SetHeader), calls Download, reads m_body, m_statusText and
// m_lastError, and destroys the object. The object owns its session, connection and request;
// nothing outlives it (no connection reuse, no cookie jar, no cache). One thread at a time.
//
// Byte strings hold text in the calling thread's ANSI code page; they become wide text only
// where the platform needs it. A conversion at that code page that fails throws
// CConversionException out of the constructor or Download. No HTTP or network failure throws:
// each makes Download return false and leaves in m_lastError the Windows error number of the
// last step that recorded one (a status outside 2xx records none).
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "http/download_progress_listener.h"
#include "platform/http_connection.h"
#include "platform/http_request.h"
#include "platform/http_session.h"
#include "tunewell/wstring.h"

class CHttpDownloaderBase {
 public:
  // The WinHTTP agent name of every session; each request's User-Agent header replaces it.
  static constexpr const char16_t* kSessionAgent =
      u"Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; "
      u".NET CLR 2.0.50727; .NET CLR 3.0.04506.30; .NET CLR 3.0.04506.648)";
  // The largest body a download accepts; a longer one fails the download instead of
  // exhausting memory.
  static constexpr std::uint32_t kMaxBodyBytes = 32u * 1024 * 1024;

  // Opens the session: proxy empty or blank means the system's default proxy, anything else
  // (trimmed) is a named proxy list. outputFile, when not empty, also receives the body.
  CHttpDownloaderBase(const std::string& proxy, const WString& outputFile);
  virtual ~CHttpDownloaderBase();
  CHttpDownloaderBase(const CHttpDownloaderBase&) = delete;
  CHttpDownloaderBase& operator=(const CHttpDownloaderBase&) = delete;

  // Stores a header for the next request: a name that reads "cookie" once trimmed and
  // lower-cased sets m_cookie; any other name (as passed) sets or replaces its entry.
  virtual void SetHeader(const std::string& name, const std::string& value);
  // Reads the body after a successful receive into m_body; false on any failure (m_body then
  // keeps what it held). Logs its failures at Warning.
  virtual bool DownloadData();

  // The whole GET: true only when every step succeeded and the complete body is in m_body.
  bool Download(const std::string& url);

  // The steps of Download, each false on failure.
  bool OpenRequest(const WString& verb);
  bool AddRequestHeaders(std::uint32_t disabledFeatures);
  bool SendRequest(const std::string& requestBody);
  bool ReceiveResponse(bool acceptAnyStatus);
  // Fills m_responseHeaders from the final response's raw header block; false only when the
  // block cannot be read. Leaves m_lastError at 122 after success.
  bool ParseResponseHeaders();
  void CloseRequest();

  // Host, path (without its leading '/') and port of a URL; any scheme is dropped. The port
  // is read as _wtoi reads it and is 80 when absent or outside 0..65535.
  static void SplitUrl(const WString& url, WString& host, WString& path, std::uint16_t& port);
  // A header as a number, 0 when the query fails.
  static std::uint32_t QueryNumberHeader(platform::HttpRequest* request, std::uint32_t infoLevel);
  // A header as text, empty when the query fails.
  static WString QueryTextHeader(platform::HttpRequest* request, std::uint32_t infoLevel);

  std::unique_ptr<platform::HttpSession> m_hSession;
  std::unique_ptr<platform::HttpConnection> m_hConnect;  // only inside Download
  std::unique_ptr<platform::HttpRequest> m_hRequest;     // only inside Download
  std::string m_url;
  std::string m_referrer;
  std::string m_cookie;
  std::string m_contentType;
  std::uint32_t m_contentLength = 0;
  std::string m_body;
  std::uint32_t m_bytesReceived = 0;
  std::map<std::string, std::string> m_requestHeaders;             // byte order of names
  std::map<std::string, std::list<std::string>> m_responseHeaders;  // values in arrival order
  WString m_outputFile;
  std::uint32_t m_timeoutMs = 0;  // 0 keeps the platform's time-outs
  CDownloadProgressListener* m_listener = nullptr;  // not owned
  // Asked while a request waits (platform::HttpRequest::SetCancelCheck); true ends it.
  std::function<bool()> m_cancelled;
  bool m_abort = false;
  std::uint32_t m_statusCode = 0;
  WString m_statusText;
  std::uint32_t m_lastError = 0;
};
