#include "matching/artist_name.h"

#include "matching/characters.h"

namespace host::matching {
namespace {

// The word at `at` in ASCII lower case (other characters as '?'), up to a blank or a bracket.
std::string LowerWordAt(const std::u32string& text, std::size_t at) {
  std::string word;
  for (; at < text.size() && !IsBlank(text[at]) && text[at] != ')' && text[at] != ']'; ++at) {
    word += text[at] < 0x80 ? static_cast<char>(LowerCase(text[at])) : '?';
  }
  return word;
}

bool IsFeaturingWord(const std::string& word, bool inBracket) {
  if (word == "feat." || word == "feat" || word == "featuring" || word == "ft.") return true;
  return inBracket && word == "ft";
}


}  // namespace

std::string WithoutFeaturedArtist(std::string_view artist) {
  const std::u32string name = TrimmedBlanks(CodePoints(artist));
  bool firstWord = true;
  for (std::size_t at = 0; at < name.size(); ++at) {
    if (IsBlank(name[at])) continue;
    const bool bracket = name[at] == '(' || name[at] == '[';
    const std::size_t wordStart = bracket ? at + 1 : at;
    if (!firstWord && IsFeaturingWord(LowerWordAt(name, wordStart), bracket)) {
      return Utf8(TrimmedBlanks(std::u32string_view(name).substr(0, at)));
    }
    firstWord = false;
    while (at < name.size() && !IsBlank(name[at])) ++at;
  }
  return Utf8(name);
}

std::string ArtistInAddress(std::string_view address) {
  constexpr std::string_view kMarker = "/lyrics/";
  const std::size_t marker = address.find(kMarker);
  if (marker == std::string_view::npos) return {};
  const std::size_t start = marker + kMarker.size();
  const std::size_t end = address.find('/', start);
  if (end == std::string_view::npos || end == start || end + 1 == address.size()) return {};
  return std::string(address.substr(start, end - start));
}

}  // namespace host::matching
