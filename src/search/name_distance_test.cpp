#include "search/name_distance.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "support/name_distance_reference.h"

namespace {

struct DistanceCase {
  const char16_t* first;
  const char16_t* second;
  float distance;
};

void ExpectDistances(const CNameDistance& measure, std::initializer_list<DistanceCase> cases) {
  for (const DistanceCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases.begin()));
    EXPECT_EQ(measure.Distance(c.first, c.second), c.distance);
    EXPECT_EQ(LiteralNameDistance(measure, c.first, c.second), c.distance);
  }
}

TEST(NameDistance, DocumentedTable) {
  ExpectDistances(CNameDistance(0), {
      {u"Abba", u"ABBA", 0.0f},
      {u"Abba", u"  Abba  ", 0.0f},
      {u"Abba", u"Abbas", 70.0f},
      {u"Abba", u"Abbo", 100.0f},
      {u"Beatles", u"The Beatles", 215.0f},
      {u"AC/DC", u"AC-DC", 20.0f},
      {u"2Pac", u"2 Pac", 5.0f},
      {u"Ab(c)d", u"Ab(x)d", 10.0f},
      {u"Song", u"Song (Live)", 39.0f},
      {u"Song (Live)", u"Song (Acoustic)", 60.5f},
      {u"(Live)", u"Live", 60.0f},
      {u"Song (Live)", u"Song ( Live)", 0.5f},
  });
}

TEST(NameDistance, EmptyNamesCostTheirGaps) {
  ExpectDistances(CNameDistance(0), {
      {u"", u"", 0.0f},
      {u"   ", u"\t\r\n", 0.0f},
      {nullptr, nullptr, 0.0f},
      {nullptr, u"ab", 140.0f},
      {u"", u"a b", 145.0f},        // 70 + 5 + 70
      {u"42", u"", 40.0f},
      {u"", u"!?", 60.0f},
      {u"", u"x1 .", 125.0f},       // 70 + 20 + 5 + 30
      {u"", u"(ab)", 200.0f},
      {u"", u"x(ab)", 270.0f},      // the border row is never reduced by brackets
  });
}

TEST(NameDistance, TrimsOnlyWhiteSpace) {
  ExpectDistances(CNameDistance(0), {
      {u"\t\v\f Abba\r\n", u"abba", 0.0f},
      {u"\bAbba", u"Abba", 5.0f},        // U+0008 is a space for the costs, not trimmed
      {u"Ab ba", u"Abba", 5.0f},         // inner spaces are kept
      {u"Abba\u00A0", u"Abba", 70.0f},   // no-break space is neither trimmed nor a space
  });
}

TEST(NameDistance, CaseFolding) {
  ExpectDistances(CNameDistance(0), {
      {u"\u00C9mile", u"\u00E9mile", 0.0f},        // non-ASCII letters fold too
      {u"\u0416\u0443\u043A", u"\u0436\u0423\u041A", 0.0f},
      {u"stra\u00DFe", u"STRASSE", 170.0f},  // one unit maps to one unit: no "SS" for sharp s
  });
}

TEST(NameDistance, CaseSensitiveComparesUnits) {
  ExpectDistances(CNameDistance(1), {
      {u"Abba", u"ABBA", 300.0f},
      {u"Abba", u"Abba", 0.0f},
      {u"abba", u" abba ", 0.0f},
  });
}

TEST(NameDistance, CharClasses) {
  struct Case {
    char16_t c;
    int expected;
  };
  const Case cases[] = {
      {0, CNameDistance::Gap},         {u'0', CNameDistance::Digit},
      {u'9', CNameDistance::Digit},    {u' ', CNameDistance::Space},
      {0x0008, CNameDistance::Space},  {0x000B, CNameDistance::Space},
      {u'\t', CNameDistance::Other},   {u'\n', CNameDistance::Other},
      {u'@', CNameDistance::Other},    {u'`', CNameDistance::Other},
      {u'a', CNameDistance::Other},    {u'Z', CNameDistance::Other},
      {0x00A0, CNameDistance::Other},  {0xFF01, CNameDistance::Other},  // fullwidth "!"
      {0xD800, CNameDistance::Other},  {u'|', CNameDistance::Punctuation},
      {u'"', CNameDistance::Punctuation}, {u'\\', CNameDistance::Punctuation},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CNameDistance::CharClass(c.c), c.expected) << "U+" << std::hex << int(c.c);
  }
  int punctuation = 0;
  for (char16_t c = 1; c < 0x80; ++c) {
    punctuation += CNameDistance::CharClass(c) == CNameDistance::Punctuation;
  }
  EXPECT_EQ(punctuation, 30);
}

TEST(NameDistance, CostTableIsSymmetricAndDocumented) {
  // One representative per class: punctuation, digit, other, space, gap.
  const char16_t sample[5] = {u'.', u'7', u'q', u' ', 0};
  const float expected[5][5] = {
      {20, 25, 25, 10, 30}, {25, 20, 60, 15, 20}, {25, 60, 100, 70, 70},
      {10, 15, 70, 1, 5},   {30, 20, 70, 5, 0},
  };
  for (int a = 0; a < 5; ++a) {
    for (int b = 0; b < 5; ++b) {
      EXPECT_EQ(CNameDistance::CharCost(sample[a], sample[b]), expected[a][b]) << a << "," << b;
    }
  }
}

TEST(NameDistance, InBracketsRules) {
  struct Case {
    const char16_t* s;
    std::size_t i;
    bool expected;
  };
  const Case cases[] = {
      {u"ab(cd)ef", 3, true},      // plainly inside
      {u"ab(cd)ef", 2, true},      // the opening bracket itself
      {u"ab(cd)ef", 5, true},      // the closing bracket itself
      {u"ab(cd)ef", 1, false},     // before the pair
      {u"ab(cd)ef", 6, false},     // after the pair
      {u"(abc)", 2, false},        // a pair wrapping the whole name does not count
      {u"(abc)", 0, false},
      {u"(ab)c)", 1, true},        // ...but another closing bracket before the end does
      {u"(a(b)", 3, true},         // as does a later opening bracket
      {u"ab)cd(", 3, false},       // reversed brackets are no pair
      {u"a[b]c", 2, true},         {u"a{b}c", 2, true},   {u"a<b>c", 2, true},
      {u"a(b]c", 2, false},        // pairs do not mix
      {u"a(bc", 2, false},         // unclosed
      {u"ab", 5, false},           // past the end
      {u"", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "position " << c.i);
    EXPECT_EQ(CNameDistance::InBrackets(c.s, u"", c.i, 0), c.expected);
    EXPECT_EQ(CNameDistance::InBrackets(u"", c.s, 0, c.i), c.expected);
  }
}

TEST(NameDistance, BracketsReduceOnlyDifferingCells) {
  ExpectDistances(CNameDistance(0), {
      {u"a(x)", u"a(y)", 10.0f},
      {u"a(x)", u"a(xy)", 7.0f},
      {u"a(x)", u"a(X)", 0.0f},
      {u"[x]", u"[y]", 100.0f},        // whole-name brackets
      {u"a <x>", u"a <>", 5.5f},       // x becomes > (2.5) and one > goes (3): cheaper than 7
  });
}

// The fast matrix must reproduce the literal algorithm bit for bit: the same float sums, the
// same rounding, the same bracket answers. The bounded form must give that same value whenever
// it is below the bound and never claim a value below the bound otherwise, and no pair within
// the bound may differ in length by more than MaxLengthGap allows.
TEST(NameDistance, FastAgreesWithLiteralOnRandomPairs) {
  const WString alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789   .,-'&!?/"
      u"()[]{}<>()[]{}<>";
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  const std::size_t plainLetters = alphabet.find(u'(');  // the alphabet before its brackets
  auto randomName = [&] {
    WString name(length(rng), u' ');
    const bool plain = rng() % 2 == 0;
    for (char16_t& c : name) c = alphabet[plain ? pick(rng) % plainLetters : pick(rng)];
    return name;
  };
  const CNameDistance insensitive(0);
  const CNameDistance sensitive(1);
  int mismatches = 0;
  for (int k = 0; k < 100000; ++k) {
    const WString a = randomName();
    const WString b = randomName();
    const CNameDistance& measure = (k % 4 == 0) ? sensitive : insensitive;
    const float fast = measure.Distance(a, b);
    const float literal = LiteralNameDistance(measure, a.c_str(), b.c_str());
    // Bounds around the value itself (ties included) and the callers' usual 1.0.
    const float bounds[] = {literal, std::nextafter(literal, 1e9f), literal * 0.5f, 1.0f,
                            static_cast<float>(k % 300)};
    const float bound = bounds[k % 5];
    const float below = measure.DistanceBelow(a, b, bound);
    const bool boundHolds = literal < bound ? std::bit_cast<std::uint32_t>(below) ==
                                                  std::bit_cast<std::uint32_t>(literal)
                                            : below >= bound;
    const std::size_t lengths[] = {search::TrimName(a).size(), search::TrimName(b).size()};
    const std::size_t gap = lengths[0] > lengths[1] ? lengths[0] - lengths[1]
                                                    : lengths[1] - lengths[0];
    const bool plain = (a + b).find_first_of(CNameDistance::kBracketCharacters) == WString::npos;
    const bool gapHolds = !(literal < bound) || gap <= measure.MaxLengthGap(bound, !plain);
    if (std::bit_cast<std::uint32_t>(fast) != std::bit_cast<std::uint32_t>(literal) ||
        !boundHolds || !gapHolds) {
      if (++mismatches <= 5) {
        ADD_FAILURE() << "pair " << k << ": fast " << fast << ", literal " << literal
                      << ", below " << bound << ": " << below << ", gap " << gap;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Every gap costs at least a space inside brackets: with the callers' 1.0 only one is left.
  EXPECT_EQ(insensitive.MaxLengthGap(1.0f), 1u);
  EXPECT_EQ(insensitive.MaxLengthGap(1.01f), 2u);
  EXPECT_EQ(insensitive.MaxLengthGap(5.0f, false), 0u);  // without brackets a space costs 5
  // A space for another costs 1: a bound of 5 must still compare plain names of one length.
  EXPECT_EQ(insensitive.DistanceBelow(u"A B", u"A\vB", 5.0f), 1.0f);
  // Zero units are gap characters that cost nothing to insert: no bound may skip them.
  EXPECT_EQ(insensitive.DistanceBelow(WStringView(u"ab\0\0\0", 5), u"AB", 1.0f), 0.0f);
}

}  // namespace
