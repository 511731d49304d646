#include "matching/match_chooser.h"

#include <algorithm>
#include <bit>
#include <tuple>

#include "matching/characters.h"
#include "matching/song_title.h"

namespace host::matching {
namespace {

// Edits (insert, delete, replace one character) between the two folded titles.
std::size_t EditDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Smaller is better.
using Rank = std::tuple<MatchLevel, int, std::size_t, bool>;

Rank RankOf(const Judgement& judgement, const std::u32string& askedTitle,
            const Candidate& candidate) {
  return {judgement.level, std::popcount(judgement.artist | judgement.title),
          EditDistance(askedTitle, CodePoints(FoldedText(candidate.title, kTextFolds))),
          !candidate.artistAsAsked};
}

}  // namespace

Choice Choose(const Names& asked, const std::vector<Candidate>& candidates) {
  Choice choice;
  if (candidates.empty()) {
    if (NamesNoLyrics(ParseTitle(asked.title))) choice.judgement.level = MatchLevel::kNoLyrics;
    return choice;
  }
  const std::u32string askedTitle = CodePoints(FoldedText(asked.title, kTextFolds));
  std::vector<Rank> ranks;
  std::vector<Judgement> judgements;
  for (const Candidate& candidate : candidates) {
    judgements.push_back(Judge(asked, candidate));
    ranks.push_back(RankOf(judgements.back(), askedTitle, candidate));
  }
  const std::size_t best = std::min_element(ranks.begin(), ranks.end()) - ranks.begin();
  choice.judgement = judgements[best];
  const MatchLevel level = choice.judgement.level;
  if (level == MatchLevel::kNoMatch || level == MatchLevel::kNoLyrics) return choice;
  choice.chosen = best;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const bool tie = std::get<0>(ranks[i]) == std::get<0>(ranks[best]) &&
                     std::get<1>(ranks[i]) == std::get<1>(ranks[best]) &&
                     std::get<2>(ranks[i]) == std::get<2>(ranks[best]);
    if (tie && candidates[i].address != candidates[best].address) {
      choice.judgement.level = std::max(level, MatchLevel::kDoubtful);
      choice.judgement.title |= kAmbiguous;
    }
  }
  return choice;
}

}  // namespace host::matching
