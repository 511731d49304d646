// DecodeHtmlEntities: turns the character references in text scraped from the lyrics site into
// the characters they stand for, in place. Two kinds are known: the named references of
// HtmlEntityTable (exact, case-sensitive, semicolon required) and decimal references
// ("&#" digits ";"). Hexadecimal references are left alone. Every decoded reference becomes
// one UTF-16 code unit; no code page is involved. Any thread may call these; the table is
// constant.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tunewell/wstring.h"

namespace text {

struct HtmlEntity {
  const char* name;    // the whole reference as written, "&" and ";" included
  std::uint16_t code;  // the UTF-16 code unit that replaces it
};

// The 252 entities of HTML 4.01 with "&nbsp;" as a plain space (32) and "&apos;" (39) added, in
// the order they are applied: "&nbsp;", "&quot;", "&apos;", "&lt;", "&gt;", then the others in
// ascending code order, and "&amp;" last so that an ampersand it produces never starts another
// named reference. Ended by an entry with a null name.
inline constexpr std::size_t kHtmlEntityCount = 253;
extern const HtmlEntity HtmlEntityTable[kHtmlEntityCount + 1];

// Decodes the named references, then the decimal ones. Never fails towards its caller.
void DecodeHtmlEntities(WString& text);

// The named pass: each reference of the table becomes its code; what a replacement produces is
// not looked at again. The result is that of replacing every entry's occurrences in table order.
void DecodeNamedReferences(WString& text);

// The decimal pass: every reference of value 1 to 65535 becomes that code unit, including
// references that earlier replacements form ("&#38;#60;" gives "<"), until none is left.
// Values of 0 or above 65535 (larger numbers count as 2147483647) stay in the text and each
// written form is reported once at Error: "Bad &#nnn; code: \"<reference>\" => <value> ;
// string is:\n\t\"<text at that moment>\"", at most kMaxBadReferenceReports per call, since
// every report quotes the whole text. The pass starts with one CRegexSearch for the pattern
// "&#([0-9]+);", so an empty text gets its "Input string is empty" warning and a search error
// ends the pass as if no reference existed.
inline constexpr int kMaxBadReferenceReports = 16;
void DecodeDecimalReferences(WString& text);

}  // namespace text
