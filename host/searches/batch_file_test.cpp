#include "searches/batch_file.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(BatchFile, ReadsArtistTitleLines) {
  std::vector<BatchSong> songs;
  std::string error;
  ASSERT_TRUE(
      ParseBatchText("\xEF\xBB\xBFThe Lanterns\tShining Home\r\n"
                     "\n"
                     "   \n"
                     "Rosie O'Dell\tA Title With  Spaces \n"
                     "Last\tNo Newline",
                     songs, error))
      << error;
  ASSERT_EQ(songs.size(), 3u);
  EXPECT_EQ(songs[0].artist, "The Lanterns");
  EXPECT_EQ(songs[0].title, "Shining Home");
  EXPECT_EQ(songs[0].line, 1);
  EXPECT_EQ(songs[1].artist, "Rosie O'Dell");
  EXPECT_EQ(songs[1].title, "A Title With  Spaces ");
  EXPECT_EQ(songs[1].line, 4);
  EXPECT_EQ(songs[2].title, "No Newline");
  EXPECT_EQ(songs[2].line, 5);
}

TEST(BatchFile, NamesTheFirstMalformedLine) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"A\tB\nno tab here\n", "line 2: expected ARTIST<TAB>TITLE, found no tab"},
      {"A\tB\tC\n", "line 1: expected ARTIST<TAB>TITLE, found more than one tab"},
      {"\tTitle\n", "line 1: the artist and the title must not be empty"},
      {"Artist\t\r\n", "line 1: the artist and the title must not be empty"},
      {"A\tB\nCaf\xE9\tB\n", "line 2: not UTF-8 (save the batch file as UTF-8)"},
      {std::string("\xFF\xFE" "A\0\t\0B\0", 8), "UTF-16, not UTF-8 (save the batch file as UTF-8)"},
  };
  for (const Case& c : cases) {
    std::vector<BatchSong> songs{{"keep", "me", 9}};
    std::string error;
    EXPECT_FALSE(ParseBatchText(c.text, songs, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(songs.size(), 1u) << "the list is left alone on failure";
  }
}

TEST(BatchFile, EmptyFileIsAnEmptyBatch) {
  std::vector<BatchSong> songs;
  std::string error;
  EXPECT_TRUE(ParseBatchText("", songs, error));
  EXPECT_TRUE(songs.empty());
}

TEST(BatchFile, MissingFileIsReported) {
  std::vector<BatchSong> songs;
  std::string error;
  EXPECT_FALSE(ReadBatchFile("/nonexistent/batch.tsv", songs, error));
  EXPECT_NE(error.find("/nonexistent/batch.tsv"), std::string::npos);
}

}  // namespace
}  // namespace host
