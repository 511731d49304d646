#include "bundled_site/corpus_sample.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(CorpusSample, PicksTheFirstSongWithLyricsAndUnescapesIt) {
  const std::string tsv =
      "# comment\tS\tnot\ta\tsong\t1\tx\n"
      "A\tThe Lanterns\t/artist/the-lanterns.html\t1\t2\n"
      "S\tThe Lanterns\tHarbour Song\t/l/h.html\tapology\t0\tWe are sorry\n"
      "S\tThe\\tLanterns\tShining \\\\Home\t/l/s.html\tlyrics\t1\tline one\\r\\nline two\n"
      "S\tOther\tLater\t/l/o.html\tlyrics\t1\tlater\n";
  CorpusSong song;
  ASSERT_TRUE(PickSampleSong(tsv, song));
  EXPECT_EQ(song.artist, "The\tLanterns");
  EXPECT_EQ(song.title, "Shining \\Home");
  EXPECT_EQ(song.lyrics, "line one\r\nline two");
}

TEST(CorpusSample, NoSongWithLyricsIsAMiss) {
  CorpusSong song;
  EXPECT_FALSE(PickSampleSong("S\tA\tT\t/p\tapology\t0\tsorry\n", song));
  EXPECT_FALSE(PickSampleSong("", song));
}

}  // namespace
}  // namespace host
