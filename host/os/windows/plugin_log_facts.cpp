#include "os/plugin_log_facts.h"

#include <windows.h>

#include "os/windows/wide_text.h"

namespace host {
namespace {

std::string FormatFromModule(HMODULE module, std::uint32_t code, DWORD language) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
      module, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result = length > 0 ? Utf8FromWide(text) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

}  // namespace

// Where the plug-in finds the texts of the internet errors, in its order: the message tables of
// WinHTTP, then WinINet (loaded by the plug-in), English first, else the system's language.
std::string DownloadErrorText(std::uint32_t code) {
  for (const wchar_t* name : {L"winhttp.dll", L"wininet.dll"}) {
    HMODULE module = ::GetModuleHandleW(name);
    if (module == nullptr) continue;
    for (DWORD language : {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
                           static_cast<DWORD>(0)}) {
      std::string text = FormatFromModule(module, code, language);
      if (!text.empty()) return text;
    }
  }
  return {};
}

}  // namespace host

namespace host {

std::string UnexplainedDownloadError(const std::string& text) {
  // The system's text for no error at all ("The operation completed successfully.").
  if (!text.empty() && text == DownloadErrorText(0)) return "the download failed without a reason";
  return text;
}

}  // namespace host
