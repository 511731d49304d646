#include "search/lyrics_extraction.h"

#include "search/artist_lookup.h"
#include "search/text_replace.h"
#include "text/html_entities.h"

namespace search {
namespace {

constexpr WStringView kWhiteSpace = u" \t\n\v\f\r";
constexpr WStringView kLineEnd = u"\r\n";
constexpr const char16_t* kBreakTags[] = {u"<br>", u"<BR>", u"<br />", u"<br/>"};

bool IsLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

// The marker with one line-end character before or behind it, in the order they are merged.
WString Touching(char16_t lineEnd, bool before) {
  const WString marker(kLineEndMarker);
  return before ? lineEnd + marker : marker + lineEnd;
}

void Trim(WString& text) {
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == WString::npos) {
    text.clear();
    return;
  }
  text.erase(text.find_last_not_of(kWhiteSpace) + 1);
  text.erase(0, first);
}

// The text between the block's start and its end mark; false when either is missing.
bool CutLyricsBlock(const WString& page, WString& block) {
  const std::size_t start = page.find(kLyricsStart);
  if (start == WString::npos) return false;
  const std::size_t begin = start + kLyricsStart.size();
  std::size_t end = page.find(kLyricsEnd, begin);
  if (end == WString::npos) end = page.find(kLyricsFallbackEnd, begin);
  if (end == WString::npos) return false;
  block.assign(page, begin, end - begin);
  return true;
}

}  // namespace

std::int32_t GetLyrics(const SearchContext& context, const WString& songUrl, WString& lyrics) {
  lyrics.clear();
  WString page;
  if (!context.plugin.DownloadPage(songUrl, page)) return 0;
  WString text;
  if (!CutLyricsBlock(page, text)) return 0;
  // Decoding comes first: a tag written with character references is a tag from here on.
  text::DecodeHtmlEntities(text);
  BreaksToLineEnds(text);
  StripTags(text);
  Trim(text);
  lyrics = std::move(text);
  if (lyrics.find(kApologyText) != WString::npos) return 0;
  return lyrics.empty() ? 0 : 1;
}

void BreaksToLineEnds(WString& text) {
  for (const char16_t* tag : kBreakTags) ReplaceBreakTag(text, tag);
  NormalizeLineEnds(text);
}

// One pass from left to right. Searching again from the beginning after each change finds
// nothing earlier: a tag is only deleted next to a line end and only replaced by line ends,
// and no tag holds a line end, so no change joins the text around it into a new tag.
void ReplaceBreakTag(WString& text, WStringView tag) {
  if (tag.empty()) return;
  std::size_t p = text.find(tag);
  if (p == WString::npos) return;
  WString result;
  std::size_t done = 0;
  for (; p != WString::npos; p = text.find(tag, done)) {
    result.append(text, done, p - done);
    const std::size_t q = p + tag.size();
    const bool lineEndBefore = !result.empty() && IsLineEnd(result.back());
    const bool lineEndBehind = q < text.size() && IsLineEnd(text[q]);
    if (!lineEndBefore && !lineEndBehind) result.append(kLineEnd);
    done = q;
  }
  result.append(text, done, WString::npos);
  text = std::move(result);
}

// Five passes over the text with the marker M standing for a finished break. No pass can form
// a new occurrence of what it or an earlier step of it replaces (a marker separates the
// characters around it, and after the second pass no two line-end characters touch), so each
// step is one replace-all, in the order the kinds take precedence.
void NormalizeLineEnds(WString& text) {
  const WString marker(kLineEndMarker);
  // 1. CR LF is one break.
  ReplaceAll(text, u"\r\n", marker);
  // 2. Any other pair of line-end characters is one break.
  for (const WStringView pair : {u"\r\r", u"\n\r", u"\n\n"}) ReplaceAll(text, pair, marker);
  // 3. A lone line-end character touching a break merges into it.
  if (text.find(marker) != WString::npos) {
    for (const WString& touching : {Touching(u'\r', true), Touching(u'\n', true),
                                    Touching(u'\r', false), Touching(u'\n', false)}) {
      ReplaceAll(text, touching, marker);
    }
  }
  // 4. A lone line-end character is one break.
  ReplaceAll(text, u"\r", marker);
  ReplaceAll(text, u"\n", marker);
  // 5. Every break is CR LF.
  ReplaceAll(text, marker, kLineEnd);
}

}  // namespace search
