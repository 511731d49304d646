// The lyrics extraction: downloads a song page, cuts out its lyrics block and turns the block's
// HTML into plain text (character references decoded, break tags and line ends made into
// CR LF breaks, other tags removed, white space trimmed). The site's apology page, which it
// serves in place of missing lyrics, is refused by its wording. The text helpers work in place
// and are pure: any thread may call them. GetLyrics runs on the thread that called the
// plug-in's GetLyrics slot; it writes no trace line of its own (the download path logs).
#pragma once

#include <cstdint>

#include "search/search_context.h"
#include "tunewell/wstring.h"

namespace search {

inline constexpr WStringView kLyricsStart = u"<div id=\"lyrics\">";
inline constexpr WStringView kLyricsEnd = u"</div>";
inline constexpr char16_t kLyricsFallbackEnd = u'\u00A9';  // the copyright sign
inline constexpr WStringView kApologyText = u"Sorry for the inconvenience";
// The line-end marker NormalizeLineEnds works with; one in the lyrics counts as a break too.
inline constexpr WStringView kLineEndMarker = u"<sbrNewline>";

// Empties lyrics, downloads songUrl and extracts the text of its lyrics block: from behind the
// first "<div id=\"lyrics\">" to the first "</div>" after it, or, when the block is never
// closed, to the first copyright sign after it. 1 when lyrics then holds non-empty text
// without the apology "Sorry for the inconvenience". 0 with lyrics empty when the download
// fails or the page has no block or no end of it; 0 with the cleaned text kept when it is
// empty or holds the apology.
std::int32_t GetLyrics(const SearchContext& context, const WString& songUrl, WString& lyrics);

// ReplaceBreakTag for "<br>", "<BR>", "<br />" and "<br/>" in that order, then
// NormalizeLineEnds once.
void BreaksToLineEnds(WString& text);

// Until the tag no longer occurs (exact case): its first occurrence is deleted when a CR or LF
// is right before or right behind it, else it becomes CR LF.
void ReplaceBreakTag(WString& text, WStringView tag);

// Makes every line break CR LF: each CR LF and each other pair of adjacent line-end characters
// is one break, a lone CR or LF is one break, a lone line-end character touching a break merges
// into it, and a "<sbrNewline>" in the text is a break as well.
void NormalizeLineEnds(WString& text);

}  // namespace search
