// The built plug-in under a multi-threaded host: one loaded library, eight threads, each
// driving its own plug-in object against the bundled site, all sharing one cache folder and
// the process-wide trace log. The thread-sanitizer build runs this too (scripts/test --tsan).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "platform/code_page.h"
#include "search/artist_url_cache.h"
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

constexpr int kThreads = 8;
constexpr int kSearchesPerThread = 200;

// The corpus's songs whose artists the artist search reaches by name.
std::vector<testing_support::CorpusSong> SearchableSongs() {
  std::set<std::string> reachable;
  for (const auto& artist : testing_support::LoadCorpus().artists) {
    if (artist.leadingCharOk) reachable.insert(artist.name);
  }
  std::vector<testing_support::CorpusSong> songs;
  for (const auto& song : testing_support::LoadCorpus().songs) {
    if (reachable.count(song.artist) != 0) songs.push_back(song);
  }
  return songs;
}

// Every section name of every cache file under the folder.
std::set<WString> CachedArtists(const std::string& folder) {
  const platform::ScopedAnsiCodePage pluginPage(testing_support::PluginLibrary::AnsiCodePage());
  std::set<WString> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().extension() != ".ARTISTCACHE") continue;
    std::vector<WString> sections;
    CArtistUrlCache::ReadSectionNames(Widen(entry.path().string()), sections);
    EXPECT_FALSE(sections.empty()) << "a cache file is never left empty: " << entry.path();
    names.insert(sections.begin(), sections.end());
  }
  return names;
}

// The UTF-16 text of a file written by the trace log (after its byte-order mark).
std::string TraceText(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  WString text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return Narrow(text);
}

// Eight threads, 200 searches each (artist and song searches in turn), then the library is
// unloaded with the eight objects still alive: the registry deletes them on this thread.
// Every search succeeds, every artist the searches met is in the cache files, and every line
// of the merged trace is whole.
TEST(PluginThreads, EightObjectsSearchAtOnceSharingCacheAndLog) {
  TempDir dir;
  test_servers::ChildProcess site({"python3", TUNEWELL_SOURCE_DIR "/site/server.py", "--port", "0",
                                   "--host-name", TUNEWELL_SITE_HOST_NAME});
  const std::string port = site.ReadLine();
  ASSERT_EQ(0u, port.rfind("PORT ", 0)) << port;
  const WString proxy = u"127.0.0.1:" + Widen(port.substr(5, port.find_first_of("\r\n") - 5));

  // A private copy, so that its process-wide objects (log, registry) are this test's alone.
  testing_support::PluginLibrary library(
      testing_support::PluginLibrary::CopyInto(dir.path(), "tunewell-threads"));
  ASSERT_TRUE(library.ok()) << library.reason();

  std::filesystem::create_directory(dir.File("log"));
  std::filesystem::create_directory(dir.File("cache"));
  const WString logFolder = Widen(dir.File("log"));
  const WString cacheFolder = Widen(dir.File("cache"));
  const WString parentLog = Widen(dir.File("parent.txt"));
  const WString debug = u"Debug";

  const std::vector<testing_support::CorpusSong> songs = SearchableSongs();
  ASSERT_GE(songs.size(), 40u);
  FakeHostCallback hosts[kThreads];
  CLyricsDllInterface* objects[kThreads] = {};
  for (int t = 0; t < kThreads; ++t) {
    objects[t] = library.Create();
    ASSERT_NE(nullptr, objects[t]);
    hosts[t].httpProxy = proxy;
    hosts[t].maxMatchDifference = 0.3f;
    objects[t]->SetHostCallback(&hosts[t]);
    ASSERT_EQ(1, objects[t]->SetProperty(u"LocalCacheFolder", &cacheFolder));
  }
  // The log is the process's: the first object starts it for all.
  ASSERT_EQ(1, objects[0]->SetProperty(u"LogFolder", &logFolder));
  ASSERT_EQ(1, objects[0]->SetProperty(u"TraceLevel", &debug));
  ASSERT_EQ(1, objects[0]->SetProperty(u"ParentLogfilePath", &parentLog));

  std::mutex found;
  std::map<WString, WString> artistUrls;  // every artist found, with its page
  std::vector<std::string> failures;
  auto work = [&](int t) {
    CLyricsDllInterface& plugin = *objects[t];
    for (int i = 0; i < kSearchesPerThread; ++i) {
      const auto& song = songs[(t * 37 + i * 7) % songs.size()];
      const WString artist = Widen(song.artist);
      std::string failure;
      if (i % 2 == 0) {
        WString url;
        if (plugin.FindArtist(artist, url) == 1) {
          const std::lock_guard<std::mutex> guard(found);
          artistUrls[artist] = url;
        } else {
          failure = "FindArtist " + song.artist;
        }
      } else {
        VectorSongList list;
        if (plugin.FindSong(artist, Widen(song.title), &list, 0) != 1 || list.GetCount() != 1) {
          failure = "FindSong " + song.artist + " / " + song.title;
        }
      }
      if (!failure.empty()) {
        const std::lock_guard<std::mutex> guard(found);
        failures.push_back(failure);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& thread : threads) thread.join();

  // The objects are left alive: unloading deletes them (the registry) and merges the log.
  library.Close();

  EXPECT_TRUE(failures.empty()) << failures.size() << " searches failed, the first: "
                                << failures.front();
  EXPECT_GE(artistUrls.size(), 20u);
  const std::set<WString> cached = CachedArtists(dir.File("cache"));
  for (const auto& [artist, url] : artistUrls) {
    // Names that could break the file's structure are refused by the cache on purpose.
    if (artist.find_first_of(u"[]\r\n") != WString::npos) continue;
    EXPECT_EQ(1u, cached.count(artist)) << "not in the cache: " << Narrow(artist);
  }

  EXPECT_TRUE(testing_support::ListFiles(dir.File("log")).empty()) << "the child log merged";
  const std::string merged = TraceText(dir.File("parent.txt"));
  const std::regex whole(R"(^$|^Tunewell_\S+\.txt$|^\d\d:\d\d:\d\d\.\d{3} [0-9A-F]+ (ERR|WRN|INF|DBG): .*$)");
  std::size_t lines = 0;
  for (std::size_t start = 0, end; (end = merged.find("\r\n", start)) != std::string::npos;
       start = end + 2, ++lines) {
    const std::string line = merged.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(line, whole)) << "line " << lines << ": " << line;
  }
  EXPECT_EQ(merged.size(), merged.rfind("\r\n") + 2) << "the last line is whole";
  EXPECT_GT(lines, static_cast<std::size_t>(kThreads * kSearchesPerThread));
}

}  // namespace
