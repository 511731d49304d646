// CNameDistance: how far apart two names (artist names, song titles) are, as a weighted edit
// distance. Costs depend on the kind of the characters involved (punctuation, digit, space,
// other) and every edit inside a bracket pair costs a tenth, so "Song" and "Song (Live)" are
// close. 0.0 is a perfect match; the distance is an absolute sum of costs, not a ratio.
//
// The object holds only its two settings and no other state: create one on the stack per
// search and reuse it for every candidate. Any thread may use its own object; a shared object
// is read-only and so safe to share. Nothing here fails or throws (apart from std::bad_alloc).
#pragma once

#include <cstddef>
#include <cstdint>

#include "tunewell/wstring.h"

class CNameDistance {
 public:
  // Character classes, numbered as the cost table indexes them.
  enum Class : int { Punctuation = 0, Digit = 1, Other = 2, Space = 3, Gap = 4 };

  // caseSensitive 0 compares through the platform's upper-case mapping.
  explicit CNameDistance(std::int32_t caseSensitive);

  // The distance of two null-terminated names after trimming white space from both ends of
  // each. Callers pass the wanted name first and the candidate second. A null pointer counts
  // as an empty name.
  float Distance(const char16_t* first, const char16_t* second) const;
  float Distance(const WString& first, const WString& second) const;
  // Distance(first, second) when that is strictly below bound, else some value at or above
  // bound, found with less work: a pair whose lengths differ by more than the bound allows is
  // not compared at all, and the table stops at the first row whose every cell has reached the
  // bound (costs are never negative, so no later cell comes back under it). For scanning many
  // candidates against a running best; the views may hold any units, zeros included.
  float DistanceBelow(WStringView first, WStringView second, float bound) const;
  // The largest difference of trimmed lengths that DistanceBelow may still find below bound:
  // candidates further off in length need not be looked at. When neither name holds a bracket
  // character no edit is made cheaper, and the gap allowed is smaller. For names without zero
  // units (a zero is a gap character, free to insert).
  std::size_t MaxLengthGap(float bound, bool bracketsPossible = true) const;
  // The bracket characters, opening and closing, of every pair.
  static constexpr char16_t kBracketCharacters[] = u"()[]{}<>";

  // The class of one character; the value 0 is the gap (no character).
  static int CharClass(char16_t c);
  // The cost of turning a into b (either may be 0, the gap): the table entry at
  // 5 * CharClass(a) + CharClass(b).
  static float CharCost(char16_t a, char16_t b);
  // Whether position i of s or position j of t lies inside a bracket pair, scanning both
  // names afresh. A pair wrapping a whole name does not count. A position past the end of
  // its name is never inside.
  static bool InBrackets(WStringView s, WStringView t, std::size_t i, std::size_t j);

  // Multiplier for the costs of an edit inside brackets.
  float bracketFactor;
  // Non-zero: characters must be equal; zero: equal after upper-case mapping.
  std::int32_t caseSensitive;
};

namespace search {

// The characters trimmed from both ends of a name: tab, LF, VT, FF, CR and space.
bool IsNameWhiteSpace(char16_t c);
// The name without its leading and trailing white space.
WStringView TrimName(WStringView name);

}  // namespace search
