#include "matching/song_title.h"

#include <algorithm>
#include <optional>

#include "matching/characters.h"
#include "matching/folded_text.h"

namespace host::matching {
namespace {

struct Peeled {
  char opening;
  std::u32string text;
};


char32_t OpeningOf(char32_t closing) {
  return closing == ')' ? '(' : closing == ']' ? '[' : closing == '}' ? '{' : 0;
}

bool IsDash(char32_t c) { return c == '-' || TypographicStandIn(c) == '-'; }

// Takes the part that `text` now ends with off it, when what is left is not empty.
std::optional<Peeled> TakeEnd(std::u32string& text, std::size_t partStart,
                              std::size_t restEnd, char opening, std::size_t partEnd) {
  std::u32string rest = TrimmedBlanks(std::u32string_view(text).substr(0, restEnd));
  while (!rest.empty() && (rest.back() == ',' || rest.back() == ':')) {
    rest = TrimmedBlanks(std::u32string_view(rest).substr(0, rest.size() - 1));
  }
  std::u32string part = TrimmedBlanks(std::u32string_view(text).substr(partStart, partEnd - partStart));
  if (rest.empty()) return std::nullopt;
  text = std::move(rest);
  return Peeled{opening, std::move(part)};
}

// "Title (Live)", "Title [Remix]", "Title {Demo}": the bracket that closes the title.
std::optional<Peeled> PeelBracket(std::u32string& text) {
  const char32_t opening = text.empty() ? 0 : OpeningOf(text.back());
  if (opening == 0) return std::nullopt;
  int depth = 0;
  for (std::size_t i = text.size(); i-- > 0;) {
    if (text[i] == text.back()) ++depth;
    if (text[i] == opening && --depth == 0) {
      return TakeEnd(text, i + 1, i, static_cast<char>(opening), text.size() - 1);
    }
  }
  return std::nullopt;
}

// "Title - Live", "Title – Radio Edit": the last dash between blanks outside any bracket.
std::optional<Peeled> PeelDash(std::u32string& text) {
  std::optional<std::size_t> dash;
  int depth = 0;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (OpeningOf(text[i]) != 0) --depth;
    if (text[i] == '(' || text[i] == '[' || text[i] == '{') ++depth;
    if (depth == 0 && IsDash(text[i]) && IsBlank(text[i - 1]) && IsBlank(text[i + 1])) dash = i;
  }
  if (!dash) return std::nullopt;
  return TakeEnd(text, *dash + 1, *dash, '-', text.size());
}

struct WordAt {
  std::size_t start;
  std::size_t end;
};

std::vector<WordAt> WordsOf(const std::u32string& text) {
  std::vector<WordAt> words;
  for (std::size_t i = 0; i < text.size();) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    words.push_back({i, end});
    i = end;
  }
  return words;
}

// "Title Part 2", "Title, Pt. II": a numbered part written without brackets.
std::optional<Peeled> PeelPartNumber(std::u32string& text) {
  const std::vector<WordAt> words = WordsOf(text);
  if (words.size() < 3) return std::nullopt;
  const auto folded = [&](const WordAt& word) {
    return FoldedText(Utf8(std::u32string_view(text).substr(word.start, word.end - word.start)),
                      kTextFolds);
  };
  const WordAt& marker = words[words.size() - 2];
  const std::string markerWord = folded(marker);
  if ((markerWord != "part" && markerWord != "pt") || NumberWord(folded(words.back())).empty()) {
    return std::nullopt;
  }
  return TakeEnd(text, marker.start, marker.start, ' ', text.size());
}

// "Title feat. Someone", "Title featuring Someone": never the first word, never "ft.", which
// is as often part of a name ("Welcome to Ft. Lauderdale").
std::optional<Peeled> PeelFeaturing(std::u32string& text) {
  const std::vector<WordAt> words = WordsOf(text);
  for (std::size_t i = 1; i + 1 < words.size(); ++i) {
    std::string word;
    for (std::size_t at = words[i].start; at < words[i].end; ++at) {
      word += text[at] < 0x80 ? static_cast<char>(LowerCase(text[at])) : '?';
    }
    if (word == "feat." || word == "featuring") {
      return TakeEnd(text, words[i].start, words[i].start, ' ', text.size());
    }
  }
  return std::nullopt;
}

std::vector<std::string> Words(const std::string& folded) {
  std::vector<std::string> words;
  for (std::size_t start = 0; start < folded.size();) {
    std::size_t end = folded.find(' ', start);
    if (end == std::string::npos) end = folded.size();
    if (end > start) words.push_back(folded.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

void SortUnique(std::vector<std::string>& words) {
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
}

}  // namespace

SongTitle ParseTitle(std::string_view title) {
  std::u32string rest = TrimmedBlanks(CodePoints(title));
  std::vector<TitlePart> parts;
  for (;;) {
    std::optional<Peeled> peeled = PeelBracket(rest);
    if (!peeled) peeled = PeelDash(rest);
    if (!peeled) peeled = PeelPartNumber(rest);
    if (!peeled) peeled = PeelFeaturing(rest);
    if (!peeled) break;
    TitlePart part{peeled->opening, Utf8(peeled->text), {}};
    part.meaning = MeaningOfPart(Words(FoldedText(part.text, kTextFolds)));
    parts.push_back(std::move(part));
  }
  std::reverse(parts.begin(), parts.end());
  return {Utf8(rest), std::move(parts)};
}

bool NamesNoLyrics(const SongTitle& title) {
  return std::any_of(title.parts.begin(), title.parts.end(), [](const TitlePart& part) {
    return part.meaning.kind == PartKind::kNoLyrics;
  });
}

TitleForm FormOf(const SongTitle& title, unsigned forgive) {
  const unsigned textFolds = forgive & kTextFolds;
  TitleForm form;
  form.stem = FoldedText(title.stem, textFolds);
  for (const TitlePart& part : title.parts) {
    const PartKind kind = part.meaning.kind;
    form.noLyrics |= kind == PartKind::kNoLyrics;
    if ((kind == PartKind::kFeaturing && (forgive & kFeaturing)) ||
        (kind == PartKind::kHarmless && (forgive & kHarmless))) {
      continue;
    }
    const std::string text = FoldedText(part.text, textFolds);
    if (!(forgive & kPartSpelling) || kind == PartKind::kFeaturing ||
        kind == PartKind::kHarmless) {
      form.subtitles.push_back(part.opening + text);
    } else if (kind == PartKind::kSubtitle) {
      form.subtitles.push_back(text);
    } else {
      form.keys.insert(form.keys.end(), part.meaning.keys.begin(), part.meaning.keys.end());
      form.detail.insert(form.detail.end(), part.meaning.detail.begin(),
                         part.meaning.detail.end());
    }
  }
  SortUnique(form.keys);
  SortUnique(form.detail);
  std::sort(form.subtitles.begin(), form.subtitles.end());
  return form;
}

}  // namespace host::matching
