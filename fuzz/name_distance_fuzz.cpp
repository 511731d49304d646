// CNameDistance::Distance against the literal full-matrix procedure on name pairs from a page:
// both must give the same float, bit for bit, in both letter-case modes and with the bracket
// factors a caller may set, and the bounded form must agree with it below its bound. Input:
// the two names separated by a zero unit (bytes as ISO 8859-1, or UTF-16 LE after FF FE).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "search/name_distance.h"
#include "support/name_distance_reference.h"

namespace {

// The literal procedure rescans both names for brackets at every cell: beyond names of this
// length a single input takes seconds.
constexpr std::size_t kMaxNameUnits = 48;
constexpr float kBracketFactors[] = {0.1f, 0.0f, 0.5f, 1.0f, 3.0f};

std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

void Compare(const WString& first, const WString& second, std::int32_t caseSensitive,
             float factor) {
  CNameDistance measure(caseSensitive);
  measure.bracketFactor = factor;
  const float fast = measure.Distance(first.c_str(), second.c_str());
  const float literal = LiteralNameDistance(measure, first.c_str(), second.c_str());
  fuzz::Check(Bits(fast) == Bits(literal),
              "\"" + fuzz::Printable(first) + "\" vs \"" + fuzz::Printable(second) +
                  "\" (case " + std::to_string(caseSensitive) + ", factor " +
                  std::to_string(factor) + "): " + std::to_string(fast) + " instead of " +
                  std::to_string(literal));
  fuzz::Check(Bits(measure.Distance(first, second)) == Bits(fast),
              "the string overload differs from the pointer one");
  // The bounded form: the same value below the bound, never a value below it otherwise.
  for (const float bound : {literal, std::nextafter(literal, 1e9f), literal * 0.5f, 1.0f}) {
    const float below = measure.DistanceBelow(first.c_str(), second.c_str(), bound);
    fuzz::Check(literal < bound ? Bits(below) == Bits(literal) : below >= bound,
                "DistanceBelow(" + std::to_string(bound) + ") gives " + std::to_string(below) +
                    " for " + std::to_string(literal));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WString text = fuzz::WideText(fuzz::Bytes(data, size, 4 * kMaxNameUnits));
  const std::size_t split = text.find(u'\0');
  const WString first = text.substr(0, split).substr(0, kMaxNameUnits);
  const WString second =
      split == WString::npos ? WString() : text.substr(split + 1).substr(0, kMaxNameUnits);
  for (const std::int32_t caseSensitive : {0, 1}) {
    for (const float factor : kBracketFactors) Compare(first, second, caseSensitive, factor);
  }
  return 0;
}
