// GetLeadingChar: the first-character rule for artist names, shared by the artist search
// (which letter page of the site to look at) and the artist URL cache (which file an artist
// lives in). A pure function: any thread may call it.
#pragma once

#include <cstdint>

#include "tunewell/wstring.h"

namespace search {

// Looks at the first UTF-16 unit of name only. A digit gives digitReplacement (or the digit
// itself when digitReplacement is 0); an ASCII letter gives its small form when lowerCase is
// non-zero, else its capital form. Returns 1 with outChar set; returns 0 with outChar 0 for an
// empty name or one starting with anything else (space, punctuation, non-ASCII letters).
std::int32_t GetLeadingChar(const WString& name, char16_t& outChar, char16_t digitReplacement,
                            std::int32_t lowerCase);

}  // namespace search
