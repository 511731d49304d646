// CRegexSearch with the search operations' three patterns over a scraped page: every match,
// every group. Nothing may escape the class, the walk must end, and what it hands out must
// come from the page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "search/artist_lookup.h"
#include "search/song_lookup.h"
#include "text/regex_search.h"

namespace {

struct NamedPattern {
  const char* name;
  const char16_t* pattern;
};

constexpr NamedPattern kPatterns[] = {
    {"artist", search::kArtistPattern},
    {"song link", search::kSongLinkPattern},
    {"song result", search::kSongResultPattern},
};

void CheckGroups(const CRegexSearch& matches, const WString& page, const char* name) {
  const std::uint32_t count = matches.GetGroupCount();
  fuzz::Check(count >= 1, std::string(name) + ": a match without group 0");
  WString whole;
  fuzz::Check(matches.GetGroup(0, whole), std::string(name) + ": group 0 unreadable");
  fuzz::Check(page.find(whole) != WString::npos,
              std::string(name) + ": match \"" + fuzz::Printable(whole) + "\" not in the page");
  for (std::uint32_t i = 1; i < count; ++i) {
    WString group;
    fuzz::Check(matches.GetGroup(i, group), std::string(name) + ": group unreadable");
    fuzz::Check(whole.find(group) != WString::npos,
                std::string(name) + ": group " + std::to_string(i) + " \"" +
                    fuzz::Printable(group) + "\" outside its match");
  }
  WString untouched = u"untouched";
  fuzz::Check(!matches.GetGroup(count, untouched) && untouched == u"untouched",
              std::string(name) + ": a group past the last one was handed out");
}

void WalkMatches(const WString& page, const NamedPattern& pattern) {
  CRegexSearch matches;
  if (!matches.Init(page, pattern.pattern, true)) return;
  // Every match after the first starts behind the previous one or one unit further on.
  std::size_t found = 0;
  while (matches.FindNext()) {
    CheckGroups(matches, page, pattern.name);
    fuzz::Check(++found <= page.size() + 1, std::string(pattern.name) + ": the walk never ends");
  }
  fuzz::Check(!matches.FindNext(), std::string(pattern.name) + ": a match after the last one");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WString page = fuzz::WideText(fuzz::Bytes(data, size));
  for (const NamedPattern& pattern : kPatterns) WalkMatches(page, pattern);
  return 0;
}
