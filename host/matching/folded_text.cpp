#include "matching/folded_text.h"

#include "matching/characters.h"

namespace host::matching {
namespace {

// A blank that folding put in (for "&", or for punctuation): it separates words, but a blank
// already beside it is enough.
constexpr char32_t kSoftBlank = 0x1;

bool IsAsciiPunctuation(char32_t c) {
  return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
         (c >= '{' && c <= '~');
}

// Case, typography and accents: what folds one character at a time.
std::u32string FoldedCharacters(std::u32string_view text, unsigned forgive) {
  std::u32string out;
  for (char32_t c : text) {
    if (forgive & kTypography) {
      if (IsInvisible(c)) continue;
      if (const char32_t standIn = TypographicStandIn(c)) c = standIn;
    }
    if ((forgive & kBlanks) && IsBlank(c)) c = ' ';
    if (forgive & kAccents) {
      if (IsCombiningMark(c)) continue;
      if (const std::u32string_view plain = WithoutAccent(c); !plain.empty()) {
        for (char32_t letter : plain) out += (forgive & kLetterCase) ? LowerCase(letter) : letter;
        continue;
      }
    }
    out += (forgive & kLetterCase) ? LowerCase(c) : c;
  }
  return out;
}

// "&" and punctuation, which become words or blanks.
std::u32string FoldedSigns(std::u32string_view text, unsigned forgive) {
  std::u32string out;
  for (char32_t c : text) {
    if ((forgive & kAnd) && c == '&') {
      out += U"\x1" "and" "\x1";
    } else if ((forgive & kPunctuation) && c == '\'') {
      continue;
    } else if ((forgive & kPunctuation) && IsAsciiPunctuation(c)) {
      out += kSoftBlank;
    } else {
      out += c;
    }
  }
  return out;
}

// Each run of blanks: one space when blanks are forgiven; else the blanks as they were, or one
// space for a run of soft blanks alone. Blanks at both ends go.
std::u32string SettledBlanks(std::u32string_view text, unsigned forgive) {
  std::u32string out;
  for (std::size_t at = 0; at < text.size();) {
    if (text[at] != kSoftBlank && !IsBlank(text[at])) {
      out += text[at++];
      continue;
    }
    std::u32string blanks;
    while (at < text.size() && (text[at] == kSoftBlank || IsBlank(text[at]))) {
      if (text[at] != kSoftBlank) blanks += text[at];
      ++at;
    }
    if ((forgive & kBlanks) || blanks.empty()) {
      out += U' ';
    } else {
      out += blanks;
    }
  }
  std::size_t start = 0;
  std::size_t end = out.size();
  while (start < end && IsBlank(out[start])) ++start;
  while (end > start && IsBlank(out[end - 1])) --end;
  return out.substr(start, end - start);
}

}  // namespace

std::string FoldedText(std::string_view utf8, unsigned forgive) {
  const std::u32string characters = FoldedCharacters(CodePoints(utf8), forgive);
  return Utf8(SettledBlanks(FoldedSigns(characters, forgive), forgive));
}

std::string LettersAndDigits(std::string_view utf8) {
  std::u32string kept;
  for (char32_t c : CodePoints(FoldedText(utf8, kTextFolds))) {
    if (IsLetterOrDigit(c)) kept += c;
  }
  return Utf8(kept);
}

std::string AddressName(std::string_view utf8) {
  const unsigned folds = kLetterCase | kBlanks | kTypography | kAccents | kAnd;
  std::string name;
  bool separated = true;
  for (char32_t c : CodePoints(FoldedText(utf8, folds))) {
    if (c >= 0x80 && IsLetterOrDigit(c)) continue;  // a letter without ASCII: left out
    const bool kept = IsLetterOrDigit(c);
    if (kept) name += static_cast<char>(c);
    if (!kept && !separated) name += '-';
    separated = !kept;
  }
  if (!name.empty() && name.back() == '-') name.pop_back();
  return name;
}

}  // namespace host::matching
