#include "matching/search_plan.h"

#include <algorithm>

#include "matching/artist_name.h"
#include "matching/song_title.h"

namespace host::matching {
namespace {

constexpr unsigned kSpellingFolds = kTypography | kBlanks;
constexpr float kStrictMaxDifference = 1.0f;

// The word "and", in any letter case, as "&".
std::string WithAmpersand(const std::string& text) {
  std::string out;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    out += FoldedText(word, kLetterCase) == "and" ? "&" : word;
    if (end < text.size()) out += ' ';
    start = end + 1;
  }
  return out;
}

std::string SpelledTitle(const std::string& title) {
  const SongTitle parsed = ParseTitle(title);
  std::string spelled = WithAmpersand(FoldedText(parsed.stem, kSpellingFolds));
  for (const TitlePart& part : parsed.parts) {
    const PartKind kind = part.meaning.kind;
    if (kind == PartKind::kVersion || kind == PartKind::kSubtitle) {
      spelled += " (" + FoldedText(part.text, kSpellingFolds) + ")";
    }
  }
  return spelled;
}

bool Asked(const std::vector<Answer>& answers, const Search& search) {
  return std::any_of(answers.begin(), answers.end(),
                     [&](const Answer& answer) { return answer.search == search; });
}

}  // namespace

Names SearchSpelling(const Names& asked) {
  return {WithAmpersand(FoldedText(WithoutFeaturedArtist(asked.artist), kSpellingFolds)),
          SpelledTitle(asked.title)};
}

std::optional<Search> NextSearch(const Names& asked, float userMaxDifference,
                                 const std::vector<Answer>& answers) {
  if (NamesNoLyrics(ParseTitle(asked.title))) return std::nullopt;
  if (answers.empty()) return Search{Ask::kFindSong, asked, userMaxDifference};
  if (IsTrusted(ChooseFromAnswers(asked, answers).judgement.level)) return std::nullopt;
  const Names spelled = SearchSpelling(asked);
  const float wide = std::max(userMaxDifference, kWideMaxDifference);
  const Search plan[] = {
      {Ask::kFindSong, spelled, wide},
      {Ask::kArtistSongs, {spelled.artist, {}}, wide},
  };
  for (const Search& search : plan) {
    if (!Asked(answers, search)) return search;
  }
  return std::nullopt;
}

std::vector<Candidate> CandidatesOf(const Names& asked, const std::vector<Answer>& answers) {
  std::vector<Candidate> candidates;
  for (const Answer& answer : answers) {
    const Search& search = answer.search;
    const bool strict = search.ask == Ask::kFindSong && search.names.artist == asked.artist &&
                        search.maxDifference <= kStrictMaxDifference;
    for (const OfferedSong& song : answer.songs) {
      candidates.push_back({song.title, song.address, strict});
    }
  }
  return candidates;
}

Choice ChooseFromAnswers(const Names& asked, const std::vector<Answer>& answers) {
  return Choose(asked, CandidatesOf(asked, answers));
}

}  // namespace host::matching
