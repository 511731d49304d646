// The literal decoding procedure, kept beside the one-scan passes of html_entities.cpp as their
// reference: the named pass as one find-and-replace-all per table entry in table order, and the
// decimal pass as a search from the start for the first decodable reference, all of whose
// written form is replaced before the search starts again. Only tests and benchmarks use it.
#pragma once

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <string>

#include "text/html_entities.h"
#include "text/regex_search.h"
#include "tunewell/wstring.h"

namespace html_entities_reference {

inline void ReplaceAll(WString& text, const WString& from, const WString& to) {
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != WString::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

inline void NamedPass(WString& text) {
  for (const text::HtmlEntity* e = text::HtmlEntityTable; e->name != nullptr; ++e) {
    const std::string name = e->name;
    ReplaceAll(text, WString(name.begin(), name.end()), WString(1, static_cast<char16_t>(e->code)));
  }
}

// Bad references (0 or above 65535) are skipped and collected in bad; quoted (when given)
// receives, for each, the whole text as it stood when the search first met it.
inline void DecimalPass(WString& text, std::set<WString>& bad,
                        std::map<WString, WString>* quoted = nullptr) {
  for (;;) {
    CRegexSearch search;
    if (!search.Init(text, u"&#([0-9]+);", true)) return;
    WString form;
    int value = 0;
    bool found = false;
    while (!found && search.FindNext()) {
      WString digits;
      search.GetGroup(0, form);
      search.GetGroup(1, digits);
      long long v = 0;
      for (char16_t d : digits) v = std::min<long long>(v * 10 + (d - u'0'), INT_MAX);
      value = static_cast<int>(v);
      if (value >= 1 && value <= 0xFFFF) {
        found = true;
      } else {
        bad.insert(form);
        if (quoted != nullptr) quoted->emplace(form, text);
      }
    }
    if (!found) return;
    ReplaceAll(text, form, WString(1, static_cast<char16_t>(value)));
  }
}

}  // namespace html_entities_reference
