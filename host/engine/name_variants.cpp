#include "engine/name_variants.h"

#include <algorithm>
#include <string_view>

#include "os/utf.h"

namespace host {
namespace {

constexpr std::size_t npos = std::string::npos;

std::string Trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == npos) return {};
  return std::string(text.substr(start, text.find_last_not_of(' ') - start + 1));
}

// Where the bracket that the last character of `text` closes opens; npos when it closes none.
std::size_t OpeningOfLastBracket(std::string_view text) {
  const char close = text.empty() ? '\0' : text.back();
  const char open = close == ')' ? '(' : close == ']' ? '[' : '\0';
  if (open == '\0') return npos;
  int depth = 0;
  for (std::size_t i = text.size(); i-- > 0;) {
    if (text[i] == close) ++depth;
    if (text[i] == open && --depth == 0) return i;
  }
  return npos;
}

// Where a trailing " - ..." or " – ..." part starts; npos when there is none.
std::size_t StartOfDashPart(std::string_view text) {
  std::size_t start = npos;
  for (std::string_view dash : {" - ", " \xE2\x80\x93 "}) {
    const std::size_t at = text.rfind(dash);
    if (at != npos && (start == npos || at > start)) start = at;
  }
  return start;
}

std::string WithoutTrailingPart(const std::string& title) {
  const std::string trimmed = Trimmed(title);
  std::size_t cut = OpeningOfLastBracket(trimmed);
  if (cut == npos) cut = StartOfDashPart(trimmed);
  if (cut == npos) return title;
  std::string rest = Trimmed(std::string_view(trimmed).substr(0, cut));
  return rest.empty() ? title : rest;
}

bool SameLetters(std::string_view text, std::size_t at, std::string_view lowerWord) {
  if (text.size() - at < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    const char c = text[at + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != lowerWord[i]) return false;
  }
  return true;
}

// Where a "feat." word starts (after a space or an opening bracket); npos when none does.
std::size_t StartOfFeaturing(const std::string& name) {
  static constexpr std::string_view kMarkers[] = {"featuring ", "feat. ", "feat ", "ft. ", "ft "};
  for (std::size_t at = 1; at < name.size(); ++at) {
    const char before = name[at - 1];
    if (before != ' ' && before != '(' && before != '[') continue;
    for (std::string_view marker : kMarkers) {
      if (SameLetters(name, at, marker)) return at;
    }
  }
  return npos;
}

// "Kestrel feat. Someone" and "Kestrel (feat. Someone) Remix" lose the featured part.
std::string WithoutFeaturing(const std::string& name) {
  const std::size_t at = StartOfFeaturing(name);
  if (at == npos) return name;
  std::string before = Trimmed(std::string_view(name).substr(0, at));
  std::string after;
  const char open = name[at - 1];
  if (open == '(' || open == '[') {
    before = Trimmed(std::string_view(name).substr(0, at - 1));
    const std::size_t close = name.find(open == '(' ? ')' : ']', at);
    if (close != npos) after = Trimmed(std::string_view(name).substr(close + 1));
  }
  if (before.empty()) return name;
  return after.empty() ? before : before + " " + after;
}

std::string AndSwapped(const std::string& name) {
  std::string swapped;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find(' ', start), name.size());
    const std::string_view word = std::string_view(name).substr(start, end - start);
    swapped += word == "&" ? "and" : word.size() == 3 && SameLetters(word, 0, "and") ? "&" : word;
    if (end < name.size()) swapped += ' ';
    start = end + 1;
  }
  return swapped;
}

// The base letter of each of U+00C0..U+017F; '.' where there is none (Æ, ß, Œ, ...).
constexpr std::string_view kBaseLetters =
    "AAAAAA.CEEEEIIII.NOOOOO.OUUUUY..aaaaaa.ceeeeiiii.nooooo.ouuuuy.y"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi..JjKk.LlLlLlL"
    "lLlNnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz.";
constexpr char16_t kFirstAccented = 0xC0;
static_assert(kBaseLetters.size() == 0x180 - kFirstAccented);

bool IsCombiningMark(char16_t unit) { return unit >= 0x300 && unit <= 0x36F; }

std::string WithoutAccents(const std::string& name) {
  if (!IsUtf8(name)) return name;
  WString plain;
  for (char16_t unit : FromUtf8(name)) {
    if (IsCombiningMark(unit)) continue;  // decomposed text, as some file systems keep names
    const std::size_t index = unit - kFirstAccented;
    const bool hasBase = unit >= kFirstAccented && index < kBaseLetters.size() &&
                         kBaseLetters[index] != '.';
    plain += hasBase ? static_cast<char16_t>(kBaseLetters[index]) : unit;
  }
  return ToUtf8(plain);
}

std::string Unchanged(const std::string& name) { return name; }

struct Step {
  std::string (*artist)(const std::string&);
  std::string (*title)(const std::string&);
};

constexpr Step kSteps[] = {
    {Unchanged, WithoutTrailingPart},
    {WithoutFeaturing, WithoutFeaturing},
    {AndSwapped, AndSwapped},
    {WithoutAccents, WithoutAccents},
};

}  // namespace

std::vector<SongNames> NameVariants(const SongNames& asGiven) {
  std::vector<SongNames> variants;
  SongNames current = asGiven;
  for (const Step& step : kSteps) {
    current = {step.artist(current.artist), step.title(current.title)};
    const bool tried = current == asGiven ||
                       std::find(variants.begin(), variants.end(), current) != variants.end();
    if (!tried) variants.push_back(current);
  }
  return variants;
}

}  // namespace host
