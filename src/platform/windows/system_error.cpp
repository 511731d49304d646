#include "platform/system_error.h"

#include "platform/windows/win_text.h"

namespace platform {
namespace {

// Internet errors (12000-12999) have their texts in WinHTTP's message table, the rest in the
// system's.
bool IsInternetError(std::uint32_t code) { return code >= 12000 && code < 13000; }

WString FormatFrom(DWORD source, HMODULE module, std::uint32_t code, DWORD language) {
  wchar_t* text = nullptr;
  const DWORD flags = source | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length = ::FormatMessageW(flags, module, code, language,
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  WString result = length > 0 ? WString(win::U(text), length) : WString();
  if (text != nullptr) ::LocalFree(text);
  return result;
}

}  // namespace

WString ErrorText(std::uint32_t code) {
  // English (United States) first, as the texts the plug-in's code expects; a system without
  // those resources gives its own language rather than nothing.
  auto format = [code](DWORD source, HMODULE module) {
    WString text = FormatFrom(source, module, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    return text.empty() ? FormatFrom(source, module, code, 0) : text;
  };
  if (!IsInternetError(code)) return format(FORMAT_MESSAGE_FROM_SYSTEM, nullptr);
  // WinHTTP's table, then WinINet's, which holds the same texts for the same numbers.
  for (const wchar_t* name : {L"winhttp.dll", L"wininet.dll"}) {
    if (HMODULE module = ::GetModuleHandleW(name)) {
      WString text = format(FORMAT_MESSAGE_FROM_HMODULE, module);
      if (!text.empty()) return text;
    }
  }
  return {};
}

std::uint32_t GetLastErrorCode() { return ::GetLastError(); }
void SetLastErrorCode(std::uint32_t code) { ::SetLastError(code); }

}  // namespace platform
