// The four searches end to end: the built plug-in loaded as a host loads it, the
// test host answering "HttpProxy" with the bundled lyrics site (site/server.py) on 127.0.0.1.
// The expected answers are the corpus's own (site/corpus.tsv), so every artist, song list,
// song and lyrics page of the site is checked, not a sample chosen to pass.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "servers/server_process.h"
#include "support/corpus.h"
#include "support/fake_host.h"
#include "support/plugin_library.h"
#include "support/temp_dir.h"
#include "tunewell/plugin_interface.h"

namespace {

using testing_support::FakeHostCallback;
using testing_support::Narrow;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::VectorSongList;
using testing_support::Widen;

const std::string kSiteHost = TUNEWELL_SITE_HOST_NAME;

// ---------------------------------------------------------------------------------------
// The corpus, as site/corpus/build.py flattened it.

struct CorpusSong {
  WString title;
  WString path;
  std::string kind;
  int lyricsResult = 0;
  WString lyrics;
};

struct CorpusArtist {
  WString name;
  WString path;
  bool leadingCharOk = false;
  std::vector<CorpusSong> songs;
};

// The corpus's artists, each with its songs, in wide text as the plug-in answers.
std::vector<CorpusArtist> ReadCorpus() {
  const testing_support::Corpus& corpus = testing_support::LoadCorpus();
  std::vector<CorpusArtist> artists;
  for (const auto& a : corpus.artists) {
    CorpusArtist artist{Widen(a.name), Widen(a.path), a.leadingCharOk, {}};
    for (const auto& s : corpus.SongsOf(a.name)) {
      artist.songs.push_back({Widen(s.title), Widen(s.path), s.kind, s.lyricsResult, Widen(s.lyrics)});
    }
    artists.push_back(std::move(artist));
  }
  return artists;
}

// ---------------------------------------------------------------------------------------
// The site and the plug-in.

class Site {
 public:
  Site()
      : process_({"python3", TUNEWELL_SOURCE_DIR "/site/server.py", "--port", "0", "--host-name",
                  kSiteHost, "--log", logs_.File("site.log")}) {
    const std::string line = process_.ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("the site did not start");
    proxy_ = u"127.0.0.1:" + Widen(line.substr(5));
  }
  const WString& Proxy() const { return proxy_; }
  // One JSON object per request the site answered.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::istringstream log(ReadFileBytes(logs_.File("site.log")));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }

 private:
  TempDir logs_;
  test_servers::ChildProcess process_;
  WString proxy_;
};

// The library stays loaded for the whole test program, as a host keeps its plug-ins.
const testing_support::PluginLibrary& Library() {
  static const auto* const library = new testing_support::PluginLibrary(TUNEWELL_PLUGIN_PATH);
  return *library;
}

struct PluginDeleter {
  void operator()(CLyricsDllInterface* plugin) const { delete plugin; }
};
using PluginPtr = std::unique_ptr<CLyricsDllInterface, PluginDeleter>;

PluginPtr CreatePlugin(CHostCallback* host) {
  PluginPtr plugin(Library().Create());
  if (plugin) plugin->SetHostCallback(host);
  return plugin;
}

class SearchSite : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = new Site;
    corpus_ = new std::vector<CorpusArtist>(ReadCorpus());
  }
  static void TearDownTestSuite() {
    delete site_;
    delete corpus_;
  }

  SearchSite() {
    host.httpProxy = site_->Proxy();
    plugin = CreatePlugin(&host);
  }
  void SetUp() override {
    ASSERT_NE(nullptr, plugin) << Library().reason();
    ASSERT_GE(corpus_->size(), 40u);
  }

  const CorpusArtist& Artist(const WString& name) const {
    for (const CorpusArtist& artist : *corpus_) {
      if (artist.name == name) return artist;
    }
    throw std::runtime_error("not in the corpus: " + Narrow(name));
  }
  // The first song of this kind in the corpus, with its artist.
  std::pair<const CorpusArtist*, const CorpusSong*> SongOfKind(const std::string& kind) const {
    for (const CorpusArtist& artist : *corpus_) {
      for (const CorpusSong& song : artist.songs) {
        if (song.kind == kind) return {&artist, &song};
      }
    }
    return {nullptr, nullptr};
  }

  static Site* site_;
  static std::vector<CorpusArtist>* corpus_;
  FakeHostCallback host;
  PluginPtr plugin;
  const WString site = Widen(kSiteHost);
};

Site* SearchSite::site_ = nullptr;
std::vector<CorpusArtist>* SearchSite::corpus_ = nullptr;

TEST_F(SearchSite, FindArtistGivesEveryArtistsPage) {
  for (const CorpusArtist& artist : *corpus_) {
    WString url;
    const int result = plugin->FindArtist(artist.name, url);
    if (!artist.leadingCharOk) {
      EXPECT_EQ(0, result) << "refused by its first character: " << Narrow(artist.name);
      continue;
    }
    EXPECT_EQ(1, result) << Narrow(artist.name);
    EXPECT_EQ(site + artist.path, url) << Narrow(artist.name);
  }
}

TEST_F(SearchSite, FindArtistSongListGivesEveryArtistsSongsInPageOrder) {
  for (const CorpusArtist& artist : *corpus_) {
    if (!artist.leadingCharOk) continue;
    SCOPED_TRACE(Narrow(artist.name));
    VectorSongList songs;
    songs.Append(SongEntry{u"left over", {}, {}, {}, 0, {}, {}, {}});
    EXPECT_EQ(static_cast<int>(artist.songs.size()),
              plugin->FindArtistSongList(artist.name, &songs));
    ASSERT_EQ(artist.songs.size(), songs.entries.size());
    for (std::size_t i = 0; i < artist.songs.size(); ++i) {
      EXPECT_EQ(artist.songs[i].title, songs.entries[i].title);
      EXPECT_EQ(site + artist.songs[i].path, songs.entries[i].url);
      EXPECT_EQ(artist.name, songs.entries[i].artist);
      EXPECT_EQ(u"Tunewell", songs.entries[i].sourceName);
    }
  }
}

TEST_F(SearchSite, FindSongFindsEverySongByArtistAndTitle) {
  int searched = 0;
  for (const CorpusArtist& artist : *corpus_) {
    for (const CorpusSong& song : artist.songs) {
      SCOPED_TRACE(Narrow(artist.name) + " / " + Narrow(song.title));
      VectorSongList songs;
      ASSERT_EQ(1, plugin->FindSong(artist.name, song.title, &songs, 0));
      ASSERT_EQ(1, songs.GetCount());
      EXPECT_EQ(song.title, songs.entries[0].title);
      EXPECT_EQ(site + song.path, songs.entries[0].url);
      EXPECT_EQ(artist.name, songs.entries[0].artist);
      ++searched;
    }
  }
  EXPECT_GE(searched, 300);
}

TEST_F(SearchSite, GetLyricsGivesEveryPagesText) {
  std::map<std::string, int> kinds;
  for (const CorpusArtist& artist : *corpus_) {
    for (const CorpusSong& song : artist.songs) {
      SCOPED_TRACE(Narrow(song.path) + " (" + song.kind + ")");
      WString lyrics = u"stale";
      EXPECT_EQ(song.lyricsResult, plugin->GetLyrics(site + song.path, lyrics));
      EXPECT_EQ(song.lyrics, lyrics);
      ++kinds[song.kind];
    }
  }
  // Every kind of page the site serves was met.
  for (const char* kind : {"lyrics", "copyright_end", "apology", "no_block", "unclosed"}) {
    EXPECT_GT(kinds[kind], 0) << kind;
  }
}

// The documented results of the four kinds of page that hold no plain lyrics block.
TEST_F(SearchSite, PagesWithoutAPlainLyricsBlock) {
  const struct {
    const char* kind;
    int result;
    bool textKept;
  } cases[] = {
      {"apology", 0, true},         // the apology's text stays in the output
      {"no_block", 0, false},
      {"unclosed", 0, false},       // no "</div>" and no copyright sign after the start
      {"copyright_end", 1, true},   // the copyright sign ends the block
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    const auto [artist, song] = SongOfKind(c.kind);
    ASSERT_NE(nullptr, song);
    WString lyrics = u"stale";
    EXPECT_EQ(c.result, plugin->GetLyrics(site + song->path, lyrics));
    EXPECT_EQ(c.textKept ? song->lyrics : WString(), lyrics);
    if (c.textKept) {
      EXPECT_FALSE(lyrics.empty());
    }
    if (std::string(c.kind) == "apology") {
      EXPECT_NE(WString::npos, lyrics.find(u"Sorry for the inconvenience"));
    }
  }
}

TEST_F(SearchSite, ACancelledSearchGivesNothing) {
  const CorpusArtist& artist = Artist(u"The Lanterns");
  ASSERT_GE(artist.songs.size(), 3u);
  VectorSongList songs;

  host.CancelNow();
  EXPECT_EQ(0, plugin->FindSong(artist.name, artist.songs[0].title, &songs, 1));
  host.Resume();
  host.CancelAfter(1);  // the download goes ahead, the first result is refused
  EXPECT_EQ(0, plugin->FindSong(artist.name, artist.songs[0].title, &songs, 1));
  EXPECT_EQ(0, songs.GetCount());

  // The song list is cancelled after its second song: search download, the exact candidate,
  // the artist page download and two songs pass.
  host.Resume();
  host.CancelAfter(5);
  EXPECT_EQ(0, plugin->FindArtistSongList(artist.name, &songs));
  ASSERT_EQ(2, songs.GetCount());
  EXPECT_EQ(artist.songs[1].title, songs.entries[1].title);

  host.Resume();
  host.CancelNow();
  WString url, lyrics;
  EXPECT_EQ(0, plugin->FindArtist(artist.name, url));
  EXPECT_EQ(0, plugin->GetLyrics(site + artist.songs[0].path, lyrics));
}

TEST_F(SearchSite, EveryRequestCameThroughTheProxyWithThePluginsUserAgent) {
  VectorSongList songs;
  ASSERT_EQ(1, plugin->FindSong(u"Pepper & Pine", Artist(u"Pepper & Pine").songs[0].title,
                                &songs, 0));
  WString lyrics;
  plugin->GetLyrics(songs.entries[0].url, lyrics);
  const std::vector<std::string> lines = site_->LogLines();
  ASSERT_FALSE(lines.empty());
  const std::string host = "\"host\": \"" + kSiteHost + "\"";
  for (const std::string& line : lines) {
    EXPECT_NE(std::string::npos, line.find("\"proxy_form\": true")) << line;
    EXPECT_NE(std::string::npos, line.find(host)) << line;
    EXPECT_NE(std::string::npos, line.find("\"user_agent\": \"Mozilla/4.0 (compatible; ")) << line;
  }
  // The ampersand of the artist reached the site inside the search value.
  bool searched = false;
  for (const std::string& line : lines) {
    searched |= line.find("search=Pepper%20%26%20Pine%20") != std::string::npos;
  }
  EXPECT_TRUE(searched);
}

// A second lookup of the same artist is answered by the cache, with the site gone.
TEST(SearchSiteCache, ASecondFindArtistNeedsNoSite) {
  TempDir cache;
  FakeHostCallback host;
  auto site = std::make_unique<Site>();
  host.httpProxy = site->Proxy();
  PluginPtr plugin = CreatePlugin(&host);
  ASSERT_NE(nullptr, plugin);
  const WString folder = cache.wpath();
  ASSERT_EQ(1, plugin->SetProperty(u"LocalCacheFolder", &folder));

  const WString siteHost = Widen(kSiteHost);
  WString url;
  ASSERT_EQ(1, plugin->FindArtist(u"Juniper Hollow", url));
  EXPECT_EQ(siteHost + u"/artist/juniper-hollow.html", url);
  const std::size_t requests = site->LogLines().size();
  EXPECT_EQ(1u, requests);
  site.reset();

  url.clear();
  EXPECT_EQ(1, plugin->FindArtist(u"Juniper Hollow", url));
  EXPECT_EQ(siteHost + u"/artist/juniper-hollow.html", url);
  url.clear();
  EXPECT_EQ(1, plugin->FindArtist(u"juniper hollow", url)) << "the cache compares like the site";
  EXPECT_EQ(0, plugin->FindArtist(u"Midnight Ferry", url)) << "not cached, and the site is gone";
}

}  // namespace
