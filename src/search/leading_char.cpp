#include "search/leading_char.h"

std::int32_t search::GetLeadingChar(const WString& name, char16_t& outChar,
                                    char16_t digitReplacement, std::int32_t lowerCase) {
  outChar = 0;
  if (name.empty()) return 0;
  const char16_t c = name[0];
  if (c >= u'0' && c <= u'9') {
    outChar = digitReplacement != 0 ? digitReplacement : c;
  } else if (c >= u'a' && c <= u'z') {
    outChar = lowerCase ? c : static_cast<char16_t>(c - 32);
  } else if (c >= u'A' && c <= u'Z') {
    outChar = lowerCase ? static_cast<char16_t>(c + 32) : c;
  }
  return outChar != 0 ? 1 : 0;
}
