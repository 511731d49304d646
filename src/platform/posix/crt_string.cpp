#include "platform/crt_string.h"

#include <cstdint>
#include <limits>

namespace platform {
namespace {

bool IsCrtSpace(char16_t ch) { return ch == u' ' || (ch >= u'\t' && ch <= u'\r'); }

}  // namespace

int Wtoi(const char16_t* text) {
  if (text == nullptr) return 0;
  while (IsCrtSpace(*text)) ++text;
  const bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+') ++text;
  // Accumulate the magnitude with room for the most negative value, then saturate.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    magnitude = magnitude * 10 + (*text - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<int>(-magnitude);
  return magnitude >= kLimit ? std::numeric_limits<int>::max() : static_cast<int>(magnitude);
}

}  // namespace platform
