#include "matching/characters.h"

#include "os/utf.h"

namespace host::matching {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The base letter of each of U+00C0..U+017F; '.' where it is none or more than one letter.
constexpr std::u32string_view kBaseLetters =
    U"AAAAAA.CEEEEIIII.NOOOOO.OUUUUY..aaaaaa.ceeeeiiii.nooooo.ouuuuy.y"
    U"AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi..JjKk.LlLlLlL"
    U"lLlNnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz.";
constexpr char32_t kFirstAccented = 0xC0;
static_assert(kBaseLetters.size() == 0x180 - kFirstAccented);

struct Spelled {
  char32_t letter;
  std::u32string_view as;
};

// Letters with no single base letter, and a few beyond Latin Extended-A that tags carry.
constexpr Spelled kSpelledOut[] = {
    {0xC6, U"AE"}, {0xE6, U"ae"}, {0xD0, U"D"},   {0xF0, U"d"},    {0xDE, U"TH"},
    {0xFE, U"th"}, {0xDF, U"ss"}, {0x132, U"IJ"}, {0x133, U"ij"},  {0x138, U"k"},
    {0x149, U"n"}, {0x14A, U"N"}, {0x14B, U"n"},  {0x152, U"OE"},  {0x153, U"oe"},
    {0x17F, U"s"}, {0x1CD, U"A"}, {0x1CE, U"a"},  {0x1CF, U"I"},   {0x1D0, U"i"},
    {0x1D1, U"O"}, {0x1D2, U"o"}, {0x1D3, U"U"},  {0x1D4, U"u"},   {0x218, U"S"},
    {0x219, U"s"}, {0x21A, U"T"}, {0x21B, U"t"},  {0x1E9E, U"SS"},
};

// The letter as a one-character view into the table, which outlives every caller.
std::u32string_view TableLetter(std::size_t index) { return kBaseLetters.substr(index, 1); }

bool Between(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

// Latin Extended-A pairs capital and small letters; where the capital sits differs by block.
bool IsLatinExtendedCapital(char32_t c) {
  if (Between(c, 0x139, 0x148) || Between(c, 0x179, 0x17E)) return c % 2 == 1;
  return (Between(c, 0x100, 0x137) || Between(c, 0x14A, 0x177)) && c % 2 == 0;
}


// The length of the well-formed sequence at `at` and its code point; 0 when ill-formed.
std::size_t DecodeOne(std::string_view text, std::size_t at, char32_t& c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  const std::size_t length = lead < 0x80                 ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
  if (length == 0 || at + length > text.size()) return 0;
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < shortest[length] || c > 0x10FFFF || Between(c, 0xD800, 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::u32string CodePoints(std::string_view utf8) {
  std::u32string out;
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeOne(utf8, at, c);
    out += length == 0 ? kReplacement : c;
    at += length == 0 ? 1 : length;
  }
  return out;
}

std::string Utf8(std::u32string_view codePoints) {
  std::string out;
  for (char32_t c : codePoints) AppendUtf8(out, c);
  return out;
}

char32_t LowerCase(char32_t c) {
  if (Between(c, 'A', 'Z') || (Between(c, 0xC0, 0xDE) && c != 0xD7)) return c + 0x20;
  if (c == 0x130) return 'i';  // İ: its small letter is i with a dot, as good as i here
  if (IsLatinExtendedCapital(c)) return c + 1;
  if (c == 0x178) return 0xFF;
  if (Between(c, 0x391, 0x3AB) && c != 0x3A2) return c + 0x20;
  if (c == 0x386) return 0x3AC;
  if (Between(c, 0x388, 0x38A)) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (Between(c, 0x38E, 0x38F)) return c + 0x3F;
  if (Between(c, 0x410, 0x42F)) return c + 0x20;
  if (Between(c, 0x400, 0x40F)) return c + 0x50;
  if (c == 0x1E9E) return 0xDF;
  return c;
}

std::u32string_view WithoutAccent(char32_t c) {
  for (const Spelled& spelled : kSpelledOut) {
    if (spelled.letter == c) return spelled.as;
  }
  if (Between(c, kFirstAccented, 0x17F) && kBaseLetters[c - kFirstAccented] != U'.') {
    return TableLetter(c - kFirstAccented);
  }
  return {};
}

bool IsCombiningMark(char32_t c) {
  return Between(c, 0x300, 0x36F) || Between(c, 0x1AB0, 0x1AFF) || Between(c, 0x1DC0, 0x1DFF) ||
         Between(c, 0x20D0, 0x20FF) || Between(c, 0xFE20, 0xFE2F);
}

char32_t TypographicStandIn(char32_t c) {
  switch (c) {
    case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032: case 0x2035:
    case 0x02BC: case 0x2039: case 0x203A: case 0xFF07:
      return '\'';
    case 0x201C: case 0x201D: case 0x201E: case 0x201F: case 0x2033: case 0x2036:
    case 0x00AB: case 0x00BB: case 0xFF02:
      return '"';
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015:
    case 0x2212: case 0xFE58: case 0xFE63: case 0xFF0D:
      return '-';
    case 0x2215: case 0x2044: case 0xFF0F:
      return '/';
    default:
      return '\0';
  }
}

bool IsInvisible(char32_t c) {
  return Between(c, 0x200B, 0x200D) || c == 0x2060 || c == 0xFEFF || c == 0xAD;
}

bool IsBlank(char32_t c) {
  return c == ' ' || Between(c, '\t', '\r') || c == 0xA0 || c == 0x1680 ||
         Between(c, 0x2000, 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

std::u32string TrimmedBlanks(std::u32string_view text) {
  std::size_t start = 0;
  std::size_t end = text.size();
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  return std::u32string(text.substr(start, end - start));
}

bool IsLetterOrDigit(char32_t c) {
  if (c < 0x80) return Between(c, 'a', 'z') || Between(c, 'A', 'Z') || Between(c, '0', '9');
  if (Between(c, 0xA1, 0xBF) || c == 0xD7 || c == 0xF7) return false;  // Latin-1 signs
  return !IsBlank(c) && TypographicStandIn(c) == '\0' && !IsInvisible(c) && !IsCombiningMark(c);
}

}  // namespace host::matching
