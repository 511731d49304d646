// The lyrics text clean-up done the slow, literal way: every step finds the first occurrence
// of what it looks for from the beginning of the text again after each change, exactly as the
// procedures are described. StripTags, ReplaceBreakTag and NormalizeLineEnds must give the same
// text; the unit tests check that and the benchmark measures the gap. Header-only so that tests
// and benchmarks share it without putting it in the library. Any thread; never fails.
#pragma once

#include <initializer_list>

#include "tunewell/wstring.h"

inline void LiteralStripTags(WString& text) {
  for (;;) {
    const std::size_t open = text.find(u'<');
    if (open == WString::npos) return;
    const std::size_t close = text.find(u'>', open);
    if (close == WString::npos) return;
    text.erase(open, close - open + 1);
  }
}

inline void LiteralReplaceBreakTag(WString& text, WStringView tag) {
  for (std::size_t p; (p = text.find(tag)) != WString::npos;) {
    const std::size_t q = p + tag.size();
    if (p > 0 && (text[p - 1] == u'\r' || text[p - 1] == u'\n')) {
      text.erase(p, tag.size());
    } else if (q < text.size() && (text[q] == u'\r' || text[q] == u'\n')) {
      text.erase(p, tag.size());
    } else {
      text.replace(p, tag.size(), u"\r\n");
    }
  }
}

// While one of the kinds occurs, replaces the first occurrence of the first kind that occurs.
inline void LiteralReplaceKinds(WString& text, std::initializer_list<WString> kinds,
                                const WString& to) {
  for (;;) {
    bool replaced = false;
    for (const WString& kind : kinds) {
      const std::size_t at = text.find(kind);
      if (at == WString::npos) continue;
      text.replace(at, kind.size(), to);
      replaced = true;
      break;
    }
    if (!replaced) return;
  }
}

inline void LiteralNormalizeLineEnds(WString& text) {
  const WString m = u"<sbrNewline>";
  LiteralReplaceKinds(text, {u"\r\n"}, m);
  LiteralReplaceKinds(text, {u"\r\r", u"\n\r", u"\n\n"}, m);
  if (text.find(m) != WString::npos) {
    LiteralReplaceKinds(text, {u"\r" + m, u"\n" + m, m + u"\r", m + u"\n"}, m);
  }
  LiteralReplaceKinds(text, {u"\r", u"\n"}, m);
  LiteralReplaceKinds(text, {m}, u"\r\n");
}

inline void LiteralBreaksToLineEnds(WString& text) {
  for (const char16_t* tag : {u"<br>", u"<BR>", u"<br />", u"<br/>"}) {
    LiteralReplaceBreakTag(text, tag);
  }
  LiteralNormalizeLineEnds(text);
}
