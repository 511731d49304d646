#include "platform/case_map.h"

#include <unicode/uchar.h>

namespace platform {

char16_t ToUpper(char16_t c) {
  // ASCII is by far the most common input; it needs no table look-up.
  if (c < 0x80) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  }
  const UChar32 upper = u_toupper(static_cast<UChar32>(c));
  // A unit whose upper case needs a surrogate pair has no one-unit answer: keep it.
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}

}  // namespace platform
