#include "platform/http_session.h"

#include <curl/curl.h>

#include <mutex>

#include "platform/posix/http_handles.h"
#include "platform/posix/http_text.h"
#include "platform/posix/http_wire.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// libcurl's global state is set up once for the process and kept until exit: tearing it down
// while another plug-in object may still be downloading would pull it from under that object.
bool InitialiseCurlOnce() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

}  // namespace

HttpSession::HttpSession(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HttpSession::~HttpSession() = default;

std::unique_ptr<HttpSession> HttpSession::Open(const WString& agent, HttpAccessType access,
                                               const WString& proxyList) {
  if (!InitialiseCurlOnce()) {
    SetLastErrorCode(error::kInternetInternalError);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->agent = posix_http::ToUtf8(agent);
  impl->access = access;
  if (access == HttpAccessType::NamedProxy) {
    impl->proxy = posix_http::SelectHttpProxy(posix_http::ToUtf8(proxyList));
  }
  return std::unique_ptr<HttpSession>(new HttpSession(std::move(impl)));
}

}  // namespace platform
