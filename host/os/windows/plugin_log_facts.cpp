#include "os/plugin_log_facts.h"

#include <windows.h>

#include "os/windows/wide_text.h"

namespace host {

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

// The same call the plug-in makes (the system's table, language 0), so the texts compare equal.
std::string DownloadErrorText(std::uint32_t code) {
  wchar_t buffer[256] = {};
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, buffer, 255, nullptr);
  std::string text = n > 0 ? Utf8FromWide(buffer) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace host
