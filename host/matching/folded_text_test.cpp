#include "matching/folded_text.h"

#include <gtest/gtest.h>

namespace host::matching {
namespace {

TEST(FoldedText, FoldsOnlyWhatItIsGivenAndAlwaysTrimsTheEnds) {
  struct Case {
    const char* text;
    unsigned forgive;
    const char* folded;
  };
  const Case cases[] = {
      {"  Paper  Moon \t", 0, "Paper  Moon"},
      {"Paper\t Moon\u00a0\u2009X", kBlanks, "Paper Moon X"},
      {"PAPER Moon", kLetterCase, "paper moon"},
      {"\u00c9T\u00c9 D\u00e9j\u00e0", kLetterCase, "\u00e9t\u00e9 d\u00e9j\u00e0"},  // accents on
      {"\u0141\u00d3D\u0179 \u0100\u0102", kLetterCase, "\u0142\u00f3d\u017a \u0101\u0103"},
      {"\u0391\u0392\u0393 \u0414\u0416 \u0130", kLetterCase, "\u03b1\u03b2\u03b3 \u0434\u0436 i"},
      {"\u00c9t\u00e9 D\u00e9j\u00e0", kAccents, "Ete Deja"},
      {"Stra\u00dfe \u00c6on \u0152uvre \u0141\u00f3d\u017a", kAccents | kLetterCase,
       "strasse aeon oeuvre lodz"},
      {"Chloe\u0301 Marchand", kAccents, "Chloe Marchand"},  // decomposed, as file names are
      {"Orla\u2019s \u201cSong\u201d \u2013 Live \u00abX\u00bb", kTypography,
       "Orla's \"Song\" - Live \"X\""},
      {"Orla\u2019s", kForgiveAll & ~kTypography, "orla\u2019s"},
      {"A\u200bB\u00adC", kTypography, "ABC"},
      {"Rock & Reel", kAnd, "Rock and Reel"},
      {"R&B", kAnd, "R and B"},
      {"Rock  &  Reel", kAnd, "Rock  and  Reel"},  // no blank doubled, none taken away
      {"Don't", kPunctuation, "Dont"},
      {"Half-Light", kPunctuation, "Half Light"},
      {"\"Hello,\" She Said!", kPunctuation, "Hello She Said"},
      {"A.M.", kPunctuation, "A M"},
      {"Don\u2019t", kPunctuation, "Don\u2019t"},  // not ASCII: typography's business
      {"Don\u2019t Look", kPunctuation | kTypography, "Dont Look"},
      {"Bad\xFF \xC0\xAF \xED\xA0\x80 \xF0\x9F\x8E\xB5", 0,
       "Bad\uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD \U0001F3B5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folded, FoldedText(c.text, c.forgive)) << c.text << " / " << c.forgive;
  }
}

TEST(FoldedText, LettersAndDigitsAndTheAddressForm) {
  struct Case {
    const char* text;
    const char* letters;
    const char* address;
  };
  const Case cases[] = {
      {"A.M. Radio", "amradio", "a-m-radio"},
      {"Bj\u00f6rn & the Foxes", "bjornandthefoxes", "bjorn-and-the-foxes"},
      {"Rosie O\u2019Dell", "rosieodell", "rosie-o-dell"},
      {" Static [Remix Unit] ", "staticremixunit", "static-remix-unit"},
      {"2Rivers", "2rivers", "2rivers"},
      {"Tin/Can", "tincan", "tin-can"},
      {"\u039c\u03cd\u03b8\u03bf\u03c2 X", "\u03bc\u03cd\u03b8\u03bf\u03c2x", "x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.letters, LettersAndDigits(c.text)) << c.text;
    EXPECT_EQ(c.address, AddressName(c.text)) << c.text;
  }
}

}  // namespace
}  // namespace host::matching
