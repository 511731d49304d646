#include "search/name_distance.h"

#include <algorithm>
#include <vector>

#include "platform/case_map.h"

namespace {

// Row = class of the first character, column = class of the second (punctuation, digit,
// other, space, gap). Symmetric.
constexpr float kCostTable[25] = {
    20, 25, 25, 10, 30,   // punctuation
    25, 20, 60, 15, 20,   // digit
    25, 60, 100, 70, 70,  // other
    10, 15, 70, 1, 5,     // space
    30, 20, 70, 5, 0,     // gap
};

struct BracketPair {
  char16_t open;
  char16_t close;
};
constexpr BracketPair kBracketPairs[] = {{u'(', u')'}, {u'[', u']'}, {u'{', u'}'}, {u'<', u'>'}};

constexpr char16_t kPunctuation[] = u"\"!#$%&'()*+,-./:;<=>?[\\]^_{|}~";

// One name's half of InBrackets for a single pair, by the literal rule: an opening bracket at
// k <= pos, a closing one at q >= pos, and not (k == 0 and q == last).
bool InsideOnePair(WStringView name, std::size_t pos, BracketPair pair) {
  if (pos >= name.size()) return false;
  const std::size_t last = name.size() - 1;
  for (std::size_t k = pos + 1; k-- > 0;) {
    if (name[k] != pair.open) continue;
    for (std::size_t q = pos; q <= last; ++q) {
      if (name[q] == pair.close && (k > 0 || q < last)) return true;
    }
  }
  return false;
}

// The same answer for every position of a name at once. A position is inside when an opening
// bracket lies at or before it and a closing one at or after it, unless the only such pairs
// wrap the whole name; so it is enough to know, per position, whether an opening bracket
// exists in [0, pos] and in [1, pos], and a closing one in [pos, last] and in [pos, last - 1].
std::vector<std::uint8_t> InsideFlags(WStringView name) {
  const std::size_t n = name.size();
  std::vector<std::uint8_t> inside(n, 0);
  std::vector<std::uint8_t> closeAfter(n + 1, 0);  // bit 0: up to last; bit 1: before last
  for (const BracketPair pair : kBracketPairs) {
    closeAfter[n] = 0;
    for (std::size_t q = n; q-- > 0;) {
      closeAfter[q] = closeAfter[q + 1];
      if (name[q] == pair.close) closeAfter[q] |= (q + 1 < n) ? 3 : 1;
    }
    bool openAnywhere = false;
    bool openAfterFirst = false;
    for (std::size_t k = 0; k < n; ++k) {
      if (name[k] == pair.open) {
        openAnywhere = true;
        openAfterFirst = openAfterFirst || k > 0;
      }
      if ((openAfterFirst && (closeAfter[k] & 1)) || (openAnywhere && (closeAfter[k] & 2))) {
        inside[k] = 1;
      }
    }
  }
  return inside;
}

// What the matrix needs to know about one position of a name, worked out once.
struct Position {
  char16_t key;       // the character, upper-case mapped unless comparing case-sensitively
  int charClass;
  bool inside;        // inside a bracket pair
  float gapCost;      // cost of inserting or deleting it
  float reducedGap;   // the same inside brackets
};

std::vector<Position> Prepare(WStringView name, bool caseSensitive, float factor) {
  const std::vector<std::uint8_t> inside = InsideFlags(name);
  std::vector<Position> out(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    const float gap = CNameDistance::CharCost(c, 0);
    out[i] = {caseSensitive ? c : platform::ToUpper(c), CNameDistance::CharClass(c),
              inside[i] != 0, gap, gap * factor};
  }
  return out;
}

}  // namespace

bool IsNameWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

WStringView TrimName(WStringView name) {
  std::size_t begin = 0;
  std::size_t end = name.size();
  while (begin < end && IsNameWhiteSpace(name[begin])) ++begin;
  while (end > begin && IsNameWhiteSpace(name[end - 1])) --end;
  return name.substr(begin, end - begin);
}

CNameDistance::CNameDistance(std::int32_t caseSensitiveFlag)
    : bracketFactor(0.1f), caseSensitive(caseSensitiveFlag) {}

int CNameDistance::CharClass(char16_t c) {
  if (c == 0) return Gap;
  if (c >= u'0' && c <= u'9') return Digit;
  if (c == u' ' || c == 0x0008 || c == 0x000B) return Space;
  if (c < 0x80 && WStringView(kPunctuation).find(c) != WStringView::npos) return Punctuation;
  return Other;
}

float CNameDistance::CharCost(char16_t a, char16_t b) {
  return kCostTable[5 * CharClass(a) + CharClass(b)];
}

bool CNameDistance::InBrackets(WStringView s, WStringView t, std::size_t i, std::size_t j) {
  for (const BracketPair pair : kBracketPairs) {
    if (InsideOnePair(s, i, pair) || InsideOnePair(t, j, pair)) return true;
  }
  return false;
}

float CNameDistance::Distance(const WString& first, const WString& second) const {
  return Distance(first.c_str(), second.c_str());
}

// The edit-distance matrix kept two rows at a time. Each cell costs O(1): the bracket answer
// of a cell depends only on its two positions, and those are prepared once per name.
float CNameDistance::Distance(const char16_t* first, const char16_t* second) const {
  const bool sensitive = caseSensitive != 0;
  const std::vector<Position> s =
      Prepare(TrimName(first ? first : u""), sensitive, bracketFactor);
  const std::vector<Position> t =
      Prepare(TrimName(second ? second : u""), sensitive, bracketFactor);
  std::vector<float> previous(t.size() + 1);
  std::vector<float> current(t.size() + 1);
  previous[0] = 0.0f;
  for (std::size_t j = 1; j <= t.size(); ++j) previous[j] = previous[j - 1] + t[j - 1].gapCost;
  for (std::size_t i = 1; i <= s.size(); ++i) {
    const Position& a = s[i - 1];
    current[0] = previous[0] + a.gapCost;
    for (std::size_t j = 1; j <= t.size(); ++j) {
      const Position& b = t[j - 1];
      float replace = 0.0f;
      float remove = a.gapCost;
      float insert = b.gapCost;
      if (a.key != b.key) {
        replace = kCostTable[5 * a.charClass + b.charClass];
        if (a.inside || b.inside) {
          replace *= bracketFactor;
          remove = a.reducedGap;
          insert = b.reducedGap;
        }
      }
      current[j] = std::min({previous[j - 1] + replace, previous[j] + remove,
                             current[j - 1] + insert});
    }
    std::swap(previous, current);
  }
  return previous[t.size()];
}
