#include "search/name_distance.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "platform/case_map.h"
#include "platform/critical_section.h"

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

// What the matrix needs to know about one position of a name, worked out once.
struct Position {
  char16_t key;       // the character, upper-case mapped unless comparing case-sensitively
  int charClass;
  bool inside;        // inside a bracket pair
  float gapCost;      // cost of inserting or deleting it
  float reducedGap;   // the same inside brackets
};

// InBrackets' answer for every position of a name at once. A position is inside when an
// opening bracket lies at or before it and a closing one at or after it, unless the only such
// pairs wrap the whole name; so it is enough to know, per position, whether an opening bracket
// exists in [0, pos] and in [1, pos], and a closing one in [pos, last] and in [pos, last - 1].
void MarkInside(WStringView name, std::vector<Position>& positions,
                std::vector<std::uint8_t>& closeAfter) {
  const std::size_t n = name.size();
  closeAfter.assign(n + 1, 0);  // bit 0: up to last; bit 1: before last
  for (const BracketPair pair : kBracketPairs) {
    // Most names hold no brackets at all: nothing can be inside a pair that never closes.
    if (name.find(pair.close) == WStringView::npos) continue;
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
        positions[k].inside = true;
      }
    }
  }
}

// ASCII folds without the platform's tables; the result is the same.
char16_t Fold(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  return platform::ToUpper(c);
}

void Prepare(WStringView name, bool caseSensitive, float factor, std::vector<Position>& out,
             std::vector<std::uint8_t>& closeAfter) {
  out.resize(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    const int charClass = CNameDistance::CharClass(c);
    const float gap = kCostTable[5 * charClass + CNameDistance::Gap];
    out[i] = {caseSensitive ? c : Fold(c), charClass, false, gap, gap * factor};
  }
  MarkInside(name, out, closeAfter);
}

// The buffers of one distance computation, and the preparation of the last wanted name.
struct Scratch {
  WString preparedName;
  bool preparedSensitive = false;
  float preparedFactor = 0.0f;
  std::vector<Position> s;
  std::vector<Position> t;
  std::vector<float> previous;
  std::vector<float> current;
  std::vector<std::uint8_t> closeAfter;
};

// Scratch buffers kept between calls, lent to one call at a time. Not thread_local: objects with
// destructors in thread storage make MinGW's runtime hold the library loaded until the thread
// ends, so a host's FreeLibrary on a thread that searched would not unload it. The pool holds
// as many as ever ran at once and goes when the library does. The last one given back is the
// next one lent, so a scan on one thread finds its wanted name still prepared.
class ScratchPool {
 public:
  std::unique_ptr<Scratch> Take() {
    {
      platform::CriticalSectionLock guard(lock_);
      if (!free_.empty()) {
        std::unique_ptr<Scratch> scratch = std::move(free_.back());
        free_.pop_back();
        return scratch;
      }
    }
    return std::make_unique<Scratch>();
  }
  void Give(std::unique_ptr<Scratch> scratch) noexcept {
    platform::CriticalSectionLock guard(lock_);
    try {
      free_.push_back(std::move(scratch));
    } catch (...) {
      // No room to keep it: it goes now.
    }
  }

 private:
  platform::CriticalSection lock_;
  std::vector<std::unique_ptr<Scratch>> free_;
};

ScratchPool& Pool() {
  static ScratchPool pool;
  return pool;
}

class LentScratch {
 public:
  LentScratch() : scratch_(Pool().Take()) {}
  ~LentScratch() { Pool().Give(std::move(scratch_)); }
  LentScratch(const LentScratch&) = delete;
  LentScratch& operator=(const LentScratch&) = delete;
  Scratch& operator*() { return *scratch_; }

 private:
  std::unique_ptr<Scratch> scratch_;
};

// The smallest cost of inserting or deleting one character anywhere: with the default factor
// a space inside brackets, 0.5; without brackets in either name a space, 5. Every alignment of
// names whose lengths differ by d makes at least d such edits, and float sums of costs this
// size are exact, so d times it is a true lower bound of the distance.
float CheapestGap(float factor, bool brackets) {
  float cheapest = kCostTable[4];
  for (int c = 0; c < 4; ++c) cheapest = std::min(cheapest, kCostTable[5 * c + 4]);
  return brackets ? std::max(0.0f, std::min(cheapest, cheapest * factor)) : cheapest;
}

// A lower bound of the distance of names whose trimmed lengths differ by gap. With the costs
// above it is a multiple of 0.5 and exact; a hair of slack keeps it safe should a caller set a
// factor whose products round.
float LengthGapBound(std::size_t gap, float factor, bool brackets) {
  const float cheapest = CheapestGap(factor, brackets);
  const bool exact = cheapest == 0.5f || cheapest == 5.0f;
  return static_cast<float>(gap) * cheapest * (exact ? 1.0f : 1.0f - 1e-5f);
}

// The cheapest edit of all that are not made inside brackets: a space for another.
constexpr float kCheapestPlainEdit = 1.0f;

// What the bounds need to know of a name, in one pass: whether it holds a bracket character
// or a zero unit. (A scan runs this for every candidate: a search per kind of unit would cost
// more than the rest of the skip.)
struct Traits {
  bool bracket = false;
  bool zero = false;
};

Traits TraitsOf(WStringView name) {
  Traits traits;
  for (const char16_t c : name) {
    switch (c) {
      case u'(': case u')': case u'[': case u']': case u'{': case u'}': case u'<': case u'>':
        traits.bracket = true;
        break;
      case u'\0':
        traits.zero = true;
        break;
      default:
        break;
    }
  }
  return traits;
}

// Whether every position holds the same character, as the matrix compares them.
bool EqualKeys(WStringView a, WStringView b, bool caseSensitive) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && (caseSensitive || Fold(a[i]) != Fold(b[i]))) return false;
  }
  return true;
}

// The class of each ASCII character, built once from the class rules.
struct AsciiClasses {
  std::uint8_t of[128];
  constexpr AsciiClasses() : of{} {
    for (int c = 0; c < 128; ++c) {
      of[c] = CNameDistance::Other;
      for (const char16_t* p = kPunctuation; *p; ++p) {
        if (*p == c) of[c] = CNameDistance::Punctuation;
      }
    }
    for (int c = '0'; c <= '9'; ++c) of[c] = CNameDistance::Digit;
    of[0x20] = of[0x08] = of[0x0B] = CNameDistance::Space;  // space, backspace, vertical tab
    of[0] = CNameDistance::Gap;
  }
};
constexpr AsciiClasses kAsciiClasses;

}  // namespace

bool search::IsNameWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

WStringView search::TrimName(WStringView name) {
  std::size_t begin = 0;
  std::size_t end = name.size();
  while (begin < end && IsNameWhiteSpace(name[begin])) ++begin;
  while (end > begin && IsNameWhiteSpace(name[end - 1])) --end;
  return name.substr(begin, end - begin);
}

CNameDistance::CNameDistance(std::int32_t caseSensitiveFlag)
    : bracketFactor(0.1f), caseSensitive(caseSensitiveFlag) {}

int CNameDistance::CharClass(char16_t c) {
  return c < 0x80 ? int{kAsciiClasses.of[c]} : int{Other};
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

std::size_t CNameDistance::MaxLengthGap(float bound, bool bracketsPossible) const {
  if (!(bound < std::numeric_limits<float>::infinity())) return SIZE_MAX;
  const float cheapest = CheapestGap(bracketFactor, bracketsPossible);
  if (cheapest <= 0.0f) return SIZE_MAX;
  // The first gap whose bound reaches the limit, found by stepping from an estimate.
  std::size_t gap = static_cast<std::size_t>(std::max(0.0f, bound / cheapest));
  while (gap > 0 && LengthGapBound(gap, bracketFactor, bracketsPossible) >= bound) --gap;
  while (LengthGapBound(gap + 1, bracketFactor, bracketsPossible) < bound) ++gap;
  return gap;
}

float CNameDistance::Distance(const WString& first, const WString& second) const {
  return Distance(first.c_str(), second.c_str());
}

float CNameDistance::Distance(const char16_t* first, const char16_t* second) const {
  return DistanceBelow(first ? first : u"", second ? second : u"",
                       std::numeric_limits<float>::infinity());
}

// The edit-distance matrix kept two rows at a time. Each cell costs O(1): the bracket answer
// of a cell depends only on its two positions, and those are prepared once per name. The costs
// are the same float products the literal algorithm forms, so the sums agree bit for bit. The
// buffers are lent from the pool and kept between calls: a scan over a large cache file makes
// no allocation per candidate.
float CNameDistance::DistanceBelow(WStringView first, WStringView second, float bound) const {
  const WStringView trimmedFirst = search::TrimName(first);
  const WStringView trimmedSecond = search::TrimName(second);
  const std::size_t lengthGap = trimmedFirst.size() > trimmedSecond.size()
                                    ? trimmedFirst.size() - trimmedSecond.size()
                                    : trimmedSecond.size() - trimmedFirst.size();
  // A zero unit is a character of the gap class, whose insertion costs nothing: the bounds
  // below hold only for names without one.
  const Traits a = TraitsOf(trimmedFirst);
  const Traits b = TraitsOf(trimmedSecond);
  if (!a.zero && !b.zero) {
    const bool brackets = a.bracket || b.bracket;
    const float lowerBound = LengthGapBound(lengthGap, bracketFactor, brackets);
    if (lowerBound >= bound) return lowerBound;
    // Without brackets no edit costs less than one space character for another: below such a
    // bound (the callers' usual 1.0) only names equal up to case are left, at distance 0.
    if (bound <= kCheapestPlainEdit && !brackets) {
      return EqualKeys(trimmedFirst, trimmedSecond, caseSensitive != 0) ? 0.0f : bound;
    }
  }

  const bool sensitive = caseSensitive != 0;
  // A scan compares one wanted name with many candidates: its preparation is kept for the
  // next call, keyed by its text and the settings.
  LentScratch lent;
  Scratch& scratch = *lent;
  std::vector<Position>& s = scratch.s;
  std::vector<Position>& t = scratch.t;
  std::vector<float>& previous = scratch.previous;
  std::vector<float>& current = scratch.current;
  if (scratch.preparedName != trimmedFirst || scratch.preparedSensitive != sensitive ||
      scratch.preparedFactor != bracketFactor) {
    // Marked unprepared first: a failure half-way must not leave a stale match behind.
    scratch.preparedName.clear();
    scratch.preparedFactor = -1.0f;
    Prepare(trimmedFirst, sensitive, bracketFactor, s, scratch.closeAfter);
    scratch.preparedName.assign(trimmedFirst);
    scratch.preparedSensitive = sensitive;
    scratch.preparedFactor = bracketFactor;
  }
  Prepare(trimmedSecond, sensitive, bracketFactor, t, scratch.closeAfter);
  float reducedTable[25];
  for (int k = 0; k < 25; ++k) reducedTable[k] = kCostTable[k] * bracketFactor;
  previous.resize(t.size() + 1);
  current.resize(t.size() + 1);
  previous[0] = 0.0f;
  for (std::size_t j = 1; j <= t.size(); ++j) previous[j] = previous[j - 1] + t[j - 1].gapCost;
  for (std::size_t i = 1; i <= s.size(); ++i) {
    const Position& a = s[i - 1];
    const float* fullRow = kCostTable + 5 * a.charClass;
    const float* reducedRow = reducedTable + 5 * a.charClass;
    // The cell to the left is the one serial dependency of a row; kept in a register rather
    // than reloaded from the row, the whole distance runs in about half the time (measured).
    float left = previous[0] + a.gapCost;
    current[0] = left;
    float rowMin = left;
    for (std::size_t j = 1; j <= t.size(); ++j) {
      const Position& b = t[j - 1];
      const bool same = a.key == b.key;
      const bool reduced = !same && (a.inside || b.inside);
      const float differ = reduced ? reducedRow[b.charClass] : fullRow[b.charClass];
      const float replace = same ? 0.0f : differ;
      const float remove = reduced ? a.reducedGap : a.gapCost;
      const float insert = reduced ? b.reducedGap : b.gapCost;
      left = std::min(std::min(previous[j - 1] + replace, previous[j] + remove), left + insert);
      current[j] = left;
      rowMin = std::min(rowMin, left);
    }
    std::swap(previous, current);
    if (rowMin >= bound) return rowMin;
  }
  return previous[t.size()];
}
