#include <gtest/gtest.h>

#include "diag/trace_log.h"
#include "plugin/instance_registry.h"
#include "plugin/tunewell.h"
#include "support/fake_host.h"

namespace {

using testing_support::FakeHostCallback;

TEST(CTunewell, ConstantsAndDefaults) {
  CTunewell plugin;
  WString text;
  ASSERT_EQ(1, plugin.GetProperty(u"SourceName", &text));
  EXPECT_EQ(u"Tunewell", text);
  ASSERT_EQ(1, plugin.GetProperty(u"SourceId", &text));
  EXPECT_EQ(32u, text.size()) << "the checksum of the test binary, the module holding the code";
  const std::pair<const char16_t*, std::int32_t> numbers[] = {
      {u"SupportedSearch", 2},
      {u"AlbumsItearationConstant", 0},
      {u"TitlesItearationConstant", 0},
      {u"StatisticDownloadCounter", 0},
      {u"StatisticSuccessfulDownloads", 0},
      {u"StatisticTotalDownloadTime", 0},
  };
  for (const auto& [name, value] : numbers) {
    std::int32_t result = -1;
    EXPECT_EQ(1, plugin.GetProperty(name, &result));
    EXPECT_EQ(value, result);
  }
}

TEST(CTunewell, CallbackDecidesCancellation) {
  CTunewell plugin;
  EXPECT_TRUE(plugin.IsCancelled()) << "without a callback everything stops";
  plugin.NotifyHost();  // no callback: nothing happens, nothing fails

  FakeHostCallback host;
  EXPECT_TRUE(plugin.SetHostCallback(&host));
  EXPECT_FALSE(plugin.IsCancelled());
  plugin.NotifyHost();
  host.CancelNow();
  EXPECT_TRUE(plugin.IsCancelled());
  EXPECT_EQ((std::vector<std::string>{"QueryCancel", "Notify", "QueryCancel"}), host.calls);

  EXPECT_FALSE(plugin.SetHostCallback(nullptr));
  EXPECT_TRUE(plugin.IsCancelled());
  plugin.NotifyHost();
  EXPECT_EQ(3u, host.calls.size()) << "a removed callback is not called again";

  WString page = u"stale";
  EXPECT_EQ(0, plugin.DownloadPage(u"http://example.invalid/", page));
  EXPECT_TRUE(page.empty());
}

TEST(CLyricsDllCommon, FindSongIsNotSupported) {
  struct Minimal : CLyricsDllCommon {
    int FindArtist(const WString&, WString&) override { return 0; }
    int FindArtistSongList(const WString&, SongList*) override { return 0; }
    int GetLyrics(const WString&, WString&) override { return 0; }
  } plugin;
  testing_support::VectorSongList songs;
  EXPECT_EQ(0, plugin.FindSong(u"a", u"b", &songs, 1));
  EXPECT_EQ(0, songs.GetCount());
}

// Counts its own destructions, to see who deletes what.
struct Counted : CLyricsDllCommon {
  explicit Counted(int& deletions) : deletions_(deletions) {}
  ~Counted() override { ++deletions_; }
  int FindArtist(const WString&, WString&) override { return 0; }
  int FindArtistSongList(const WString&, SongList*) override { return 0; }
  int GetLyrics(const WString&, WString&) override { return 0; }
  int& deletions_;
};

TEST(CInstanceRegistry, TeardownDeletesWhatIsLeftOnce) {
  int deletions = 0;
  {
    CInstanceRegistry registry;
    auto* kept = new Counted(deletions);
    auto* removed = new Counted(deletions);
    registry.Add(kept);
    registry.Add(removed);
    registry.Add(nullptr);  // tolerated by the teardown
    registry.Remove(removed);
    delete removed;
    EXPECT_EQ(2u, registry.Count());
    int strangerDeletions = 0;
    Counted stranger(strangerDeletions);
    registry.Remove(&stranger);  // never registered: nothing happens
    EXPECT_EQ(2u, registry.Count());
  }
  EXPECT_EQ(2, deletions);
}

TEST(CInstanceRegistry, ObjectsRemoveThemselvesFromTheProcessRegistry) {
  CInstanceRegistry& registry = CInstanceRegistry::Instance();
  const std::size_t before = registry.Count();
  auto* plugin = new CTunewell();
  registry.Add(plugin);
  EXPECT_EQ(before + 1, registry.Count());
  delete plugin;
  EXPECT_EQ(before, registry.Count());
}

}  // namespace
