#include "tags/name_filter.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(NameFilter, GlobsMatchNamesOrWholePaths) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  };
  const Case cases[] = {
      {"*.mp3", "a song.mp3", true},     {"*.mp3", "a song.flac", false},
      {"*", "", true},                   {"?.ogg", "1.ogg", true},
      {"?.ogg", "12.ogg", false},        {"[0-9]*", "07 Rain.mp3", true},
      {"[!0-9]*", "07 Rain.mp3", false}, {"[]x]", "]", true},
      {"a[", "a[", true},                {"*live*", "Rain (live).mp3", true},
      {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},  // no blow-up
      {"Café*", "Café 1.mp3", true},
      {"[a-c]", "c", true},              {"[a-c]", "d", false},
      // the extension in any case, as the walk takes it; the rest of the name as written
      {"*.mp3", "WHISTLE STOP.MP3", true}, {"*.M[O-P]3", "a.mp3", true},
      {"*.[!m]p3", "a.Mp3", false},      {"rain*", "Rain.mp3", false},
      {"*p3", "MP3", false},             {"*.b/c", "m/a.B/c", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GlobMatches(c.pattern, c.text), c.matches) << c.pattern << " " << c.text;
  }
  const NameFilter filter{{"*.flac", "*/Live/*"}, {"*demo*"}};
  EXPECT_EQ(filter.Apply({"m/a.flac", "m/a.mp3", "m/Live/b.mp3", "m/demo.flac", "m/x/Live"}),
            (std::vector<std::string>{"m/a.flac", "m/Live/b.mp3"}));
  // An --include that takes nothing is told, even where an --exclude leaves its files out: a
  // folder's name matches no file's name.
  const NameFilter named{{"Kestrel", "*/Kestrel/*", "*.flac"}, {"*"}};
  EXPECT_EQ(named.IncludesMatchingNone({"m/Kestrel/a.mp3", "m/Kestrel/b.FLAC"}),
            (std::vector<std::string>{"Kestrel"}));
}

}  // namespace
}  // namespace host
