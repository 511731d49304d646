// HttpRequest: the stand-in for a synchronous WinHTTP request handle: open, time-outs, request
// headers, options, send, receive, header queries and the "data available" / read loop over
// the body. Every call blocks its caller until done and, like WinHTTP, reports failure as false
// with the calling thread's last error set to a Windows error number (12002 time-out, 12005
// invalid URL, 12007 name not resolved, 12019 wrong state, 12029 cannot connect, 12030
// connection ended, 12150 header not found, 12152 invalid response, 12156 redirect failed,
// 122 buffer too small, 87 bad parameter).
//
// WinHTTP's defaults hold: HTTP/1.1, no Accept header, no decompression (no Accept-Encoding),
// redirects followed (at most 10, none from https to http), time-outs of 60 s to connect and
// 30 s to send and receive, and the request path escaped as WinHTTP escapes it. The body is
// streamed: the request holds at most a bounded buffer of it, however long the body is.
//
// Sounder than WinHTTP: the receive time-out counts from the last byte, so a server trickling
// its answer a byte at a time would hold a request for ever. A request's whole life from its
// send is therefore bounded by the sum of its connect, send and receive time-outs (120 s by
// default; none when any of the three has none) and then fails with 12002. A caller may also
// give a cancel check, asked while the request waits, that ends it with 12017. (The Windows
// backend can ask both only between its calls to WinHTTP, so there they bound the body only.)
//
// The object owns its transfer; destroying it closes the connection. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tunewell/wstring.h"

namespace platform {

class HttpConnection;

namespace http {
// Open flags.
inline constexpr std::uint32_t kFlagRefresh = 0x00000100;  // no cached copy: no-cache headers
// AddHeaders flags.
inline constexpr std::uint32_t kAddIfNew = 0x10000000;
inline constexpr std::uint32_t kAdd = 0x20000000;
inline constexpr std::uint32_t kReplace = 0x80000000;
// Options and their values.
inline constexpr std::uint32_t kOptionDisableFeature = 63;
inline constexpr std::uint32_t kDisableCookies = 0x00000001;
inline constexpr std::uint32_t kDisableRedirects = 0x00000002;
inline constexpr std::uint32_t kDisableAuthentication = 0x00000004;
inline constexpr std::uint32_t kDisableKeepAlive = 0x00000008;
// Header queries ("info levels").
inline constexpr std::uint32_t kQueryContentType = 1;
inline constexpr std::uint32_t kQueryContentLength = 5;
inline constexpr std::uint32_t kQueryLocation = 33;
inline constexpr std::uint32_t kQueryStatusCode = 19;
inline constexpr std::uint32_t kQueryStatusText = 20;
inline constexpr std::uint32_t kQueryRawHeaders = 21;      // lines, each ended by a zero
inline constexpr std::uint32_t kQueryRawHeadersCrlf = 22;  // lines, each ended by CR LF
inline constexpr std::uint32_t kQueryCustom = 65535;       // the header named in the query
inline constexpr std::uint32_t kQueryFlagNumber = 0x20000000;
}  // namespace http

class HttpRequest {
 public:
  class Transfer;
  // The most body bytes a request holds at any time, however long the body is.
  static constexpr std::size_t kMaxBufferedBody = 256 * 1024;

  // Opens a request for verb and path (the text after the host; a leading '/' is added when
  // missing). An empty referrer sends none. flags may hold kFlagRefresh, which adds
  // "Pragma: no-cache" and "Cache-Control: no-cache". Returns null with the last error set:
  // 6 for a null connection, 87 for an empty verb.
  static std::unique_ptr<HttpRequest> Open(const HttpConnection* connection, const WString& verb,
                                           const WString& path, const WString& referrer,
                                           std::uint32_t flags);
  ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Time-outs in milliseconds; 0 or a negative value means no limit. Name resolution happens
  // within the connect time. False (87) once the request was sent.
  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs);
  // The check asked about every 100 ms while the request waits (on the calling thread), the
  // first time 100 ms after the send, so a quick request never asks it: true ends the request
  // with 12017. An empty one is never asked.
  void SetCancelCheck(std::function<bool()> cancelled);
  // The longest a request may take from its send to the end of its body, for these time-outs;
  // 0 for no limit.
  static std::int64_t OverallLimitMs(int connectMs, int sendMs, int receiveMs);
  // Adds header lines ("Name: value", several separated by CR LF). With kAdd | kReplace an
  // existing header of that name (any letter case) is replaced, otherwise added; kReplace
  // alone with an empty value removes it (12150 when there is none); kAddIfNew fails (12208)
  // when it exists; kAdd alone adds another. A line without a name and colon fails with 87,
  // a call after sending with 12019; a failing call changes nothing.
  bool AddHeaders(const WString& headers, std::uint32_t flags);
  // kOptionDisableFeature with kDisable* flags (only kDisableRedirects changes anything:
  // cookies are never kept nor connections reused). Unknown options fail with 87, a call
  // after sending with 12019.
  bool SetOption(std::uint32_t option, std::uint32_t value);
  // Connects (through the proxy, if any) and sends the request with body as its entity.
  bool Send(const std::string& body);
  // Waits for the final response's status line and headers: those of a followed redirect or
  // an interim (1xx) response are not the final ones.
  bool ReceiveResponse();
  // WinHttpQueryHeaders: the header named by infoLevel (or by name for kQueryCustom) of the
  // final response. Text comes as UTF-16 (the header bytes read as ISO 8859-1), *bufferBytes
  // being the buffer's size in bytes on entry and the text's size without its terminator on
  // return. A null or small buffer fails with 122 and the size needed (terminator included).
  // With kQueryFlagNumber the value is a 32-bit number (buffer of 4 bytes). Fails with 12019
  // before a response, 12150 when the header is absent.
  bool QueryHeaders(std::uint32_t infoLevel, const WString& name, void* buffer,
                    std::uint32_t* bufferBytes);
  // The number of body bytes that can be read now, waiting for some when none are buffered;
  // 0 at the end of the body. Fails when the transfer failed (for example 12030 when the
  // server closed the connection early, 12002 when nothing arrived within the receive time).
  bool QueryDataAvailable(std::uint32_t* bytesAvailable);
  // Reads at most bytesToRead body bytes, waiting as QueryDataAvailable does; *bytesRead is 0
  // at the end of the body.
  bool ReadData(void* buffer, std::uint32_t bytesToRead, std::uint32_t* bytesRead);

 private:
  // Open after its arguments were checked (http_open.cpp): the backend's half.
  static std::unique_ptr<HttpRequest> OpenChecked(const HttpConnection& connection,
                                                  const WString& verb, const WString& path,
                                                  const WString& referrer, std::uint32_t flags);
  explicit HttpRequest(std::unique_ptr<Transfer> transfer);
  std::unique_ptr<Transfer> transfer_;
};

}  // namespace platform
