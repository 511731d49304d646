#include "searches/safe_file_name.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(SafeFileName, ReplacesWhatAFileSystemReadsSpecially) {
  struct Case {
    std::string part;
    std::string safe;
  };
  const Case cases[] = {
      {"The Lanterns", "The Lanterns"},
      {"AC/DC", "AC_DC"},
      {"What?", "What_"},
      {"a\\b:c*d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
      {"tab\there\nnew", "tab_here_new"},
      {"..", "_"},  // would climb out of the folder: leading dot replaced, dot trimmed
      {"../../etc/passwd", "_._.._etc_passwd"},
      {".hidden", "_hidden"},
      {"trailing dots...", "trailing dots"},
      {"  padded  ", "padded"},
      {"", "_"},
      {"...", "_"},
      {"Chlo\xC3\xA9", "Chlo\xC3\xA9"},  // non-ASCII letters are kept
  };
  for (const Case& c : cases) EXPECT_EQ(SafeNamePart(c.part), c.safe) << c.part;
}

TEST(SafeFileName, JoinsArtistAndTitle) {
  EXPECT_EQ(LyricsFileName("The Lanterns", "Shining Home"), "The Lanterns - Shining Home.txt");
  EXPECT_EQ(LyricsFileName("AC/DC", "T.N.T."), "AC_DC - T.N.T.txt");
  EXPECT_EQ(LyricsFileName("A", "B", " (2)"), "A - B (2).txt");
}

TEST(SafeFileName, FitsLongNamesIntoTheLimitWithoutSplittingACharacter) {
  std::string artist;
  for (int i = 0; i < 200; ++i) artist += "\xC3\xA9";  // 400 bytes of two-byte letters
  for (const std::string& suffix : {std::string(), std::string(" (12)")}) {
    const std::string name = LyricsFileName(artist, "Title", suffix);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(name.ends_with(suffix + ".txt")) << name;
    const std::string stem = name.substr(0, name.size() - 4 - suffix.size());
    EXPECT_EQ(stem.size() % 2, 0u) << "a two-byte character was cut in half";
  }
}

}  // namespace
}  // namespace host
