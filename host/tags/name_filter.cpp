#include "tags/name_filter.h"

#include <algorithm>

namespace host {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Where the extension of the text's last name starts (after its last "."), or the text's end
// when it has none.
std::size_t ExtensionStart(std::string_view text) {
  const std::size_t dot = text.rfind('.');
  const std::size_t slash = text.rfind('/');
  return dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)
             ? text.size()
             : dot + 1;
}

// One bracket expression at the start of `set` ("[...]"): whether it takes `c` (in either
// case when `anyCase`), and its length (0 when the bracket does not close: then "[" is an
// ordinary character).
std::size_t MatchSet(std::string_view set, char c, bool anyCase, bool& taken) {
  std::size_t i = 1;
  const bool negated = i < set.size() && set[i] == '!';
  if (negated) ++i;
  bool found = false;
  const auto in = [&](char low, char high) {
    const auto within = [&](char x) { return low <= x && x <= high; };
    return within(c) || (anyCase && (within(Lower(c)) || within(Upper(c))));
  };
  for (const std::size_t first = i; i < set.size() && (set[i] != ']' || i == first); ++i) {
    if (i + 2 < set.size() && set[i + 1] == '-' && set[i + 2] != ']') {
      found = found || in(set[i], set[i + 2]);
      i += 2;
    } else {
      found = found || in(set[i], set[i]);
    }
  }
  if (i >= set.size()) return 0;
  taken = found != negated;
  return i + 1;
}

bool Matches(const std::string& pattern, const std::string& path) {
  const std::string_view text =
      pattern.find('/') != std::string::npos
          ? std::string_view(path)
          : std::string_view(path).substr(path.rfind('/') == std::string::npos ? 0
                                                                                : path.rfind('/') + 1);
  return GlobMatches(pattern, text);
}

}  // namespace

// Backtracking on the last `*` only: linear enough for names, never exponential.
bool GlobMatches(std::string_view pattern, std::string_view text) {
  const std::size_t extension = ExtensionStart(text);
  std::size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    bool taken = false;
    std::size_t length = 0;
    const bool anyCase = t >= extension;
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
      continue;
    }
    if (p < pattern.size() && pattern[p] == '[' &&
        (length = MatchSet(pattern.substr(p), text[t], anyCase, taken)) > 0 && taken) {
      p += length;
      ++t;
      continue;
    }
    if (p < pattern.size() && length == 0 &&
        (pattern[p] == '?' || pattern[p] == text[t] ||
         (anyCase && Lower(pattern[p]) == Lower(text[t])))) {
      ++p;
      ++t;
      continue;
    }
    if (starP == std::string_view::npos) return false;
    p = starP + 1;
    t = ++starT;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool NameFilter::Takes(const std::string& path) const {
  bool included = include.empty();
  for (const std::string& pattern : include) included = included || Matches(pattern, path);
  for (const std::string& pattern : exclude) {
    if (Matches(pattern, path)) return false;
  }
  return included;
}

std::vector<std::string> NameFilter::IncludesMatchingNone(
    const std::vector<std::string>& paths) const {
  std::vector<std::string> unmatched;
  for (const std::string& pattern : include) {
    const auto matches = [&](const std::string& path) { return Matches(pattern, path); };
    if (std::none_of(paths.begin(), paths.end(), matches)) unmatched.push_back(pattern);
  }
  return unmatched;
}

std::vector<std::string> NameFilter::Apply(const std::vector<std::string>& paths) const {
  std::vector<std::string> taken;
  for (const std::string& path : paths) {
    if (Takes(path)) taken.push_back(path);
  }
  return taken;
}

}  // namespace host
