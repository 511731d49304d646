// What one character is to the host's name matching: its lower case, its letters without
// accents, its plain ASCII stand-in when it is a typographic quote, apostrophe or dash, and
// whether it is a blank. Latin, Greek and Cyrillic letters fold; a character this table does
// not know stays as it is, so an unknown script still compares exactly. Also the UTF-8 text
// these work on, as code points. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace host::matching {

// The code points of UTF-8 text; each byte of an ill-formed sequence becomes U+FFFD.
std::u32string CodePoints(std::string_view utf8);
std::string Utf8(std::u32string_view codePoints);

// The lower case of a letter (A-Z, Latin-1, Latin Extended-A, Greek, Cyrillic); else c.
char32_t LowerCase(char32_t c);

// The letters that stand for c without its accent: "e" for "é", "ss" for "ß", "ae" for "æ".
// Empty when c has no accent to lose (and for a combining mark, which is dropped).
std::u32string_view WithoutAccent(char32_t c);
bool IsCombiningMark(char32_t c);

// The ASCII character a typographic one stands for: ' for ’ ‘ ‛ ʼ ′, " for “ ” „ « » ″, - for
// the dashes and hyphens (‐ ‑ ‒ – — ― −), / for ∕ and ⁄; '\0' for any other character.
char32_t TypographicStandIn(char32_t c);
// Characters that are nothing in a name: zero-width spaces and joiners, the soft hyphen.
bool IsInvisible(char32_t c);

// Space, tab, line ends, the no-break spaces and the other Unicode spaces.
bool IsBlank(char32_t c);
// The text without blanks (IsBlank) at either end.
std::u32string TrimmedBlanks(std::u32string_view text);

// ASCII letters and digits, and every character above ASCII that is not a blank, a
// typographic stand-in or invisible (letters of other scripts count as letters).
bool IsLetterOrDigit(char32_t c);

}  // namespace host::matching
