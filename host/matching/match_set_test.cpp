// The labelled match set (tests/data/match_set.tsv) against the bundled site's whole corpus,
// without the plug-in: every song of the site is a candidate for every row. No song but the
// row's own page may be judged trusted, whatever the plug-in might offer, and the chooser
// must come to the row's level and page. (bench/match_set.py runs the same set through the
// host and the plug-in against the site.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "matching/match_chooser.h"
#include "support/corpus.h"

namespace host::matching {
namespace {

struct Row {
  int line = 0;
  Names asked;
  std::string expect;  // a song's path, or "none"
  std::string level;
};

std::vector<Row> ReadMatchSet() {
  std::ifstream in(TUNEWELL_SOURCE_DIR "/tests/data/match_set.tsv", std::ios::binary);
  std::vector<Row> rows;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) {
      for (std::size_t at; (at = field.find("\\t")) != std::string::npos;) {
        field.replace(at, 2, "\t");
      }
      fields.push_back(field);
    }
    if (fields.size() >= 4) rows.push_back({number, {fields[0], fields[1]}, fields[2], fields[3]});
  }
  return rows;
}

std::string Path(const std::string& address) {
  const std::size_t slash = address.find('/');
  return slash == std::string::npos ? address : address.substr(slash);
}

TEST(MatchSet, OnlyTheRightPageIsTrustedAndTheChooserComesToTheRowsLevel) {
  const testing_support::Corpus& corpus = testing_support::LoadCorpus();
  const std::vector<Row> rows = ReadMatchSet();
  ASSERT_GE(rows.size(), 300u);
  ASSERT_GE(corpus.songs.size(), 300u);
  for (const Row& row : rows) {
    SCOPED_TRACE("line " + std::to_string(row.line) + ": " + row.asked.artist + " / " +
                 row.asked.title);
    std::vector<Candidate> candidates;
    std::string otherArtist;  // one whose first song was another artist's: all of them are
    for (const testing_support::CorpusSong& song : corpus.songs) {
      if (song.artist == otherArtist) continue;
      const bool strict = FoldedText(song.artist, kLetterCase) ==
                          FoldedText(row.asked.artist, kLetterCase);
      const Candidate candidate{song.title, song.url(), strict};
      const Judgement judgement = Judge(row.asked, candidate);
      if (judgement.artist & kOtherArtist) {
        otherArtist = song.artist;
        continue;
      }
      if (IsTrusted(judgement.level) && song.path != row.expect) {
        ADD_FAILURE() << "wrong: " << song.artist << " / " << song.title << " judged "
                      << LevelName(judgement.level);
      }
      candidates.push_back(candidate);
    }
    const Choice choice = Choose(row.asked, candidates);
    const std::string level(LevelName(choice.judgement.level));
    const std::string page = choice.chosen ? Path(candidates[*choice.chosen].address) : "none";
    const std::string expectedLevel = row.level == "none"        ? "no match"
                                      : row.level == "no-lyrics" ? "no lyrics"
                                                                 : row.level;
    EXPECT_EQ(expectedLevel, level);
    EXPECT_EQ(row.expect, page);
  }
}

}  // namespace
}  // namespace host::matching
