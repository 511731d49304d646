#include "search/text_replace.h"

namespace search {

void ReplaceAll(WString& text, WStringView from, WStringView to) {
  if (from.empty()) return;
  std::size_t at = text.find(from);
  if (at == WString::npos) return;
  WString result;
  std::size_t done = 0;
  for (; at != WString::npos; at = text.find(from, done)) {
    result.append(text, done, at - done);
    result.append(to);
    done = at + from.size();
  }
  result.append(text, done, WString::npos);
  text = std::move(result);
}

}  // namespace search
