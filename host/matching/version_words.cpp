#include "matching/version_words.h"

#include <algorithm>
#include <string_view>

namespace host::matching {
namespace {

struct Word {
  std::string_view spelled;
  std::string_view key;
};

// Words that name another recording, with the key they count as.
constexpr Word kVersionWords[] = {
    {"live", "live"},           {"remix", "remix"},         {"remixed", "remix"},
    {"rmx", "remix"},           {"mix", "remix"},           {"acoustic", "acoustic"},
    {"demo", "demo"},           {"reprise", "reprise"},     {"unplugged", "unplugged"},
    {"edit", "edit"},           {"edited", "edit"},         {"extended", "extended"},
    {"dub", "dub"},             {"orchestral", "orchestral"}, {"orchestra", "orchestral"},
    {"symphonic", "symphonic"}, {"piano", "piano"},         {"acapella", "acapella"},
    {"acappella", "acapella"},  {"cappella", "acapella"},   {"interlude", "interlude"},
    {"intro", "intro"},         {"outro", "outro"},         {"skit", "skit"},
    {"commentary", "commentary"}, {"rehearsal", "rehearsal"}, {"session", "session"},
    {"sessions", "session"},    {"alternate", "alternate"}, {"alt", "alternate"},
    {"rough", "rough"},         {"clean", "clean"},         {"cover", "cover"},
    {"medley", "medley"},
    // "Radio Edit" is an edit made for the radio: "(Edit)" may be it or another one.
    {"radio", "radio"},
};

// Words that name a language version; alone or with "version", "en", ... only.
constexpr Word kLanguageWords[] = {
    {"spanish", "spanish"},       {"espanol", "spanish"},   {"english", "english"},
    {"ingles", "english"},        {"french", "french"},     {"francais", "french"},
    {"german", "german"},         {"deutsch", "german"},    {"deutsche", "german"},
    {"italian", "italian"},       {"italiano", "italian"},  {"portuguese", "portuguese"},
    {"portugues", "portuguese"},  {"japanese", "japanese"}, {"korean", "korean"},
    {"chinese", "chinese"},       {"mandarin", "chinese"},  {"russian", "russian"},
    {"dutch", "dutch"},           {"swedish", "swedish"},   {"polish", "polish"},
    {"greek", "greek"},           {"catalan", "catalan"},   {"arabic", "arabic"},
};

constexpr Word kNoLyricsWords[] = {
    {"instrumental", "instrumental"}, {"instrumentals", "instrumental"},
    {"karaoke", "karaoke"},           {"backing", "backing track"},
};

// Words that do not change the words of a song (and a year, see IsYear).
constexpr std::string_view kHarmlessWords[] = {
    "remaster", "remastered", "remastering", "remasters", "mono", "stereo", "deluxe", "bonus",
    "album", "single", "original", "lp", "explicit", "expanded", "anniversary", "edition",
    "version", "official", "audio", "video", "hd", "hq", "digital", "track", "reissue",
};

// Little words that neither name a recording nor tell two apart.
constexpr std::string_view kLittleWords[] = {
    "the", "a", "an", "at", "in", "on", "of", "from", "by", "and", "with", "en", "de", "del",
    "la", "le", "les", "el", "version", "track",
};

constexpr std::string_view kNumbers[] = {
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten", "eleven",
    "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen",
    "twenty"};
constexpr std::string_view kRomanNumbers[] = {
    "i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix", "x", "xi", "xii", "xiii", "xiv",
    "xv", "xvi", "xvii", "xviii", "xix", "xx"};

template <std::size_t N>
std::string_view KeyOf(const Word (&words)[N], std::string_view word) {
  for (const Word& w : words) {
    if (w.spelled == word) return w.key;
  }
  return {};
}

template <std::size_t N>
bool OneOf(const std::string_view (&words)[N], std::string_view word) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

bool IsYear(const std::string& word) {
  return word.size() == 4 && (word.starts_with("19") || word.starts_with("20")) &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void SortUnique(std::vector<std::string>& words) {
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
}

bool IsFeaturing(const std::string& word) {
  return word == "feat" || word == "featuring" || word == "ft";
}

}  // namespace

std::string NumberWord(const std::string& word) {
  if (!word.empty() && word.size() <= 3 &&
      std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return word;
  }
  for (std::size_t i = 0; i < std::size(kNumbers); ++i) {
    if (word == kNumbers[i] || word == kRomanNumbers[i]) return std::to_string(i + 1);
  }
  return {};
}

PartMeaning MeaningOfPart(const std::vector<std::string>& words) {
  PartMeaning meaning;
  if (words.empty()) {
    meaning.kind = PartKind::kHarmless;
    return meaning;
  }
  if (IsFeaturing(words[0]) || words[0] == "from") {
    // "from" opens a note of where the song comes from: "(From the film ...)".
    meaning.kind = IsFeaturing(words[0]) ? PartKind::kFeaturing : PartKind::kHarmless;
    return meaning;
  }
  std::vector<std::string> noLyrics, versions, languages, detail;
  int harmless = 0;
  int other = 0;  // words that are none of these, nor little words
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string number = i + 1 < words.size() ? NumberWord(words[i + 1]) : std::string();
    if (!KeyOf(kNoLyricsWords, word).empty()) {
      noLyrics.emplace_back(KeyOf(kNoLyricsWords, word));
    } else if ((word == "part" || word == "pt" || word == "take") && !number.empty()) {
      versions.push_back((word == "take" ? "take " : "part ") + number);
      ++i;
    } else if (word == "mix" && i > 0 && words[i - 1] == "original") {
      ++harmless;  // the "Original Mix" is the song itself
    } else if (!KeyOf(kVersionWords, word).empty()) {
      versions.emplace_back(KeyOf(kVersionWords, word));
    } else if (!KeyOf(kLanguageWords, word).empty()) {
      languages.emplace_back(KeyOf(kLanguageWords, word));
    } else if (IsYear(word)) {
      ++harmless;
      detail.push_back(word);  // "Live 1999" is not "Live 2003"
    } else if (OneOf(kHarmlessWords, word)) {
      ++harmless;
    } else if (!OneOf(kLittleWords, word)) {
      ++other;
      detail.push_back(word);
    }
  }
  if (!noLyrics.empty()) {
    meaning.kind = PartKind::kNoLyrics;
    meaning.keys = std::move(noLyrics);
  } else if (!versions.empty() || (!languages.empty() && other == 0)) {
    meaning.kind = PartKind::kVersion;
    meaning.keys = std::move(versions);
    meaning.keys.insert(meaning.keys.end(), languages.begin(), languages.end());
    meaning.detail = std::move(detail);
  } else if (languages.empty() && other == 0 && harmless > 0) {
    meaning.kind = PartKind::kHarmless;
  }
  SortUnique(meaning.keys);
  SortUnique(meaning.detail);
  return meaning;
}

}  // namespace host::matching
