#include "tags/names_from_file.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(NamesFromFile, TagsFirstThenTheFileNameForWhatIsMissing) {
  struct Case {
    std::string artist, title, fileName;
    bool found;
    std::string wantArtist, wantTitle, note;
  };
  const Case cases[] = {
      {"Kestrel", "Rain", "x/A - B.mp3", true, "Kestrel", "Rain", ""},
      {"", "", "x/The Lanterns - Shining Home.flac", true, "The Lanterns", "Shining Home",
       " (artist and title from the file name)"},
      {"Kestrel", " ", "Other - Rain.mp3", true, "Kestrel", "Rain", " (title from the file name)"},
      {"", "Rain", "Kestrel - Other.ogg", true, "Kestrel", "Rain", " (artist from the file name)"},
      // the first " - " divides; a title may hold one too
      {"", "", "AC - DC - Live - Set.m4a", true, "AC", "DC - Live - Set",
       " (artist and title from the file name)"},
      {"", "", "dir - x/Track 01.mp3", false, "", "", ""},  // only the name counts
      {"", "", " - Title.mp3", false, "", "", ""},
      {"", "", "Artist - .mp3", false, "", "", ""},
      {"", "", "caf\xE9 - Song.mp3", true, "caf\xEF\xBF\xBD", "Song",  // not UTF-8
       " (artist and title from the file name)"},
  };
  for (const Case& c : cases) {
    NamesFromFile names;
    EXPECT_EQ(NamesForFile(c.artist, c.title, c.fileName, names), c.found) << c.fileName;
    if (!c.found) continue;
    EXPECT_EQ(names.artist, c.wantArtist) << c.fileName;
    EXPECT_EQ(names.title, c.wantTitle) << c.fileName;
    EXPECT_EQ(FileNameNote(names), c.note) << c.fileName;
  }
}

}  // namespace
}  // namespace host
