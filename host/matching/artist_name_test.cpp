#include "matching/artist_name.h"

#include <gtest/gtest.h>

namespace host::matching {
namespace {

TEST(WithoutFeaturedArtist, CutsAtAWordThatIntroducesANameNeverInsideOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"Kestrel feat. Someone", "Kestrel"},
      {"Kestrel Feat Someone", "Kestrel"},
      {"Kestrel featuring Someone", "Kestrel"},
      {"Kestrel ft. Someone", "Kestrel"},
      {"Kestrel (feat. Someone)", "Kestrel"},
      {"Kestrel [ft Someone]", "Kestrel"},
      {" Kestrel ", "Kestrel"},
      {"Ten ft Tall", "Ten ft Tall"},
      {"Ft. Worth Band", "Ft. Worth Band"},
      {"Feat", "Feat"},
      {"The Featherweights", "The Featherweights"},
      {"Static [Remix Unit]", "Static [Remix Unit]"},
  };
  for (const auto& [artist, alone] : cases) EXPECT_EQ(alone, WithoutFeaturedArtist(artist));
}

TEST(ArtistInAddress, TheFolderOfTheSongPage) {
  const std::pair<const char*, const char*> cases[] = {
      {"lyrics.tunewell.test/lyrics/chloe-marchand/deja-vu.html", "chloe-marchand"},
      {"http://x.test/lyrics/a/b", "a"},
      {"x.test/lyrics//deja-vu.html", ""},
      {"x.test/lyrics/chloe-marchand", ""},
      {"x.test/lyrics/chloe-marchand/", ""},
      {"x.test/artist/chloe-marchand.html", ""},
      {"", ""},
  };
  for (const auto& [address, artist] : cases) EXPECT_EQ(artist, ArtistInAddress(address));
}

}  // namespace
}  // namespace host::matching
