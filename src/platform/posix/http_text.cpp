#include "platform/posix/http_text.h"

#include "platform/code_page.h"

namespace platform::posix_http {

std::string ToUtf8(const WString& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  int needed = WideToMultiByte(kCpUtf8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) {
    WideToMultiByte(kCpUtf8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  }
  return out;
}

WString FromUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  int needed = MultiByteToWide(kCpUtf8, 0, bytes.data(), length, nullptr, 0);
  WString out(static_cast<std::size_t>(needed > 0 ? needed : 0), u'\0');
  if (needed > 0) MultiByteToWide(kCpUtf8, 0, bytes.data(), length, out.data(), needed);
  return out;
}

WString FromLatin1(std::string_view bytes) {
  WString out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<unsigned char>(c));
  return out;
}

}  // namespace platform::posix_http
