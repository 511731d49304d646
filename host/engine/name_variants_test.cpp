#include "engine/name_variants.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(NameVariants, EachStepKeepsTheOnesBeforeAndAddsOnlyNewNames) {
  struct Case {
    SongNames asGiven;
    std::vector<SongNames> variants;
  };
  const Case cases[] = {
      {{"The Lanterns", "Shining Home"}, {}},
      {{"The Lanterns", "Shining Home (Remastered 2011)"}, {{"The Lanterns", "Shining Home"}}},
      {{"The Lanterns", "Shining Home [Live]"}, {{"The Lanterns", "Shining Home"}}},
      {{"The Lanterns", "Shining Home - 2011 Remaster"}, {{"The Lanterns", "Shining Home"}}},
      {{"A", "Home \xE2\x80\x93 Live"}, {{"A", "Home"}}},
      // One trailing part only, the one that closes the title, nested brackets and all.
      {{"A", "Home - Live - 2011"}, {{"A", "Home - Live"}}},
      {{"A", "Home (Live) [Remix]"}, {{"A", "Home (Live)"}}},
      {{"A", "Home (Live (2011))"}, {{"A", "Home"}}},
      // Never all of the title; the artist keeps its brackets.
      {{"A", "(Untitled)"}, {}},
      {{"A", " - Live"}, {}},
      {{"Band (UK)", "Home"}, {}},
      {{"Kestrel feat. Someone", "Home"}, {{"Kestrel", "Home"}}},
      {{"Kestrel", "Home (feat. Someone)"}, {{"Kestrel", "Home"}}},  // a trailing part already
      {{"Kestrel", "Home (Ft. Someone) Remix"}, {{"Kestrel", "Home Remix"}}},
      {{"Kestrel featuring X", "Home [ft Y]"}, {{"Kestrel featuring X", "Home"}, {"Kestrel", "Home"}}},
      {{"Loft Theory", "Daft Feat"}, {}},  // only whole words after a space or a bracket
      {{"Salt & Pepper", "Home"}, {{"Salt and Pepper", "Home"}}},
      {{"Salt AND Pepper", "Rock & Roll"}, {{"Salt & Pepper", "Rock and Roll"}}},
      {{"Sandy Andes", "R&B"}, {}},
      {{"Caf\xC3\xA9 Tacvba", "Ni\xC3\xB1o \xC5\x81\xC3\xB3" "d\xC5\xBA"},
       {{"Cafe Tacvba", "Nino Lodz"}}},
      {{"Cafe\xCC\x81", "\xC3\x86on \xC3\x9F"}, {{"Cafe", "\xC3\x86on \xC3\x9F"}}},  // marks go
      {{"\xC3\x86on", "Stra\xC3\x9F" "e"}, {}},  // no base letter: kept
      {{"Bad\xFF", "\xC3\xA9"}, {{"Bad\xFF", "e"}}},  // ill-formed UTF-8 left as it is
      // All four, each on top of the others.
      {{"Beyonc\xC3\xA9 & Co ft. Z", "Caf\xC3\xA9 and Rain (Live)"},
       {{"Beyonc\xC3\xA9 & Co ft. Z", "Caf\xC3\xA9 and Rain"},
        {"Beyonc\xC3\xA9 & Co", "Caf\xC3\xA9 and Rain"},
        {"Beyonc\xC3\xA9 and Co", "Caf\xC3\xA9 & Rain"},
        {"Beyonce and Co", "Cafe & Rain"}}},
  };
  for (const Case& c : cases) {
    const std::vector<SongNames> variants = NameVariants(c.asGiven);
    ASSERT_EQ(variants.size(), c.variants.size()) << c.asGiven.artist << " / " << c.asGiven.title;
    for (std::size_t i = 0; i < variants.size(); ++i) {
      EXPECT_EQ(variants[i].artist, c.variants[i].artist) << c.asGiven.title << " #" << i;
      EXPECT_EQ(variants[i].title, c.variants[i].title) << c.asGiven.title << " #" << i;
    }
  }
}

}  // namespace
}  // namespace host
