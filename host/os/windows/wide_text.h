// The host keeps text as UTF-8; the Windows W functions take UTF-16 as wchar_t, which is the
// same 16-bit unit as WString's char16_t here.
#pragma once

#include <string>

#include "os/utf.h"

namespace host {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is a UTF-16 unit");

inline std::wstring WideFromUtf8(const std::string& text) {
  const WString wide = FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

inline std::string Utf8FromWide(const wchar_t* text) {
  return ToUtf8(WString(reinterpret_cast<const char16_t*>(text)));
}

}  // namespace host
