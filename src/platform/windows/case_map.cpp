#include "platform/case_map.h"

#include "platform/windows/win_text.h"

namespace platform {

// The C runtime's towupper folds only a-z in the default locale; every letter folds on both
// platforms, so this uses the system's own Unicode upper-casing.
char16_t ToUpper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;  // half a pair has no case of its own
  wchar_t unit = static_cast<wchar_t>(c);
  ::CharUpperBuffW(&unit, 1);
  return static_cast<char16_t>(unit);
}

}  // namespace platform
