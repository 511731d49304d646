#include "corpus_sample.h"

#include <gtest/gtest.h>

#include "progress_display.h"
#include "host_paths.h"

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

TEST(ProgressDisplay, BarFillsInProportion) {
  struct Case {
    int done, total;
    std::string bar;
  };
  const Case cases[] = {{0, 20, "[..........]"}, {5, 20, "[##........]"},
                        {20, 20, "[##########]"}, {3, 0, "[##########]"}};
  for (const Case& c : cases) EXPECT_EQ(ProgressDisplay::Bar(c.done, c.total, 10), c.bar);
}

TEST(HostPaths, CacheFolderFollowsTheXdgRules) {
  struct Case {
    const char* xdg;
    const char* home;
    std::optional<std::string> folder;
  };
  const Case cases[] = {
      {"/x/cache", "/home/u", "/x/cache/tunewell"},
      {"relative/cache", "/home/u", "/home/u/.cache/tunewell"},  // relative: ignored
      {"", "/home/u", "/home/u/.cache/tunewell"},
      {nullptr, "/home/u", "/home/u/.cache/tunewell"},
      {nullptr, nullptr, std::nullopt},
      {nullptr, "", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultCacheFolder(c.xdg, c.home), c.folder);
}

}  // namespace
}  // namespace host
