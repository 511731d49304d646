// The real `tunewell` binary with the real plug-in against the bundled site: every command,
// its exit status, its text and its JSON output.
#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "e2e/host_harness.h"
#include "support/temp_dir.h"

namespace {

using e2e::JsonFact;
using e2e::Lf;
using e2e::RunHost;
using e2e::RunResult;

const e2e::CorpusSong& FirstSongOfKind(const std::string& kind) {
  for (const e2e::CorpusSong& song : e2e::LoadCorpus().songs) {
    if (song.kind == kind) return song;
  }
  static const e2e::CorpusSong none;
  ADD_FAILURE() << "the corpus has no song of kind " << kind;
  return none;
}

std::string Describe(const RunResult& r) {
  return "status " + std::to_string(r.status) + (r.exited ? "" : " (not exited normally)") +
         "\nstdout: " + r.out.substr(0, 2000) + "\nstderr: " + r.err.substr(0, 2000);
}

class HostCommands : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site_.ok()) << "the bundled site did not start"; }

  // Runs tunewell against the site, without a cache.
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--proxy", site_.proxy(), "--no-cache"});
    return RunHost(args);
  }

  e2e::BundledSite site_;
};

TEST(HostInfo, TextAndJsonCarryTheSameIdentity) {
  const RunResult text = RunHost({"--no-cache", "info"});
  ASSERT_EQ(text.status, 0) << Describe(text);
  std::smatch id;
  ASSERT_TRUE(std::regex_search(text.out, id, std::regex("SourceId=([0-9a-f]{32})\n"))) << text.out;
  for (const char* line : {"Name=Tunewell\n", "Type=search\n", "Version=2.1.2000.0\n",
                           "SourceName=Tunewell\n", "SupportedSearch=2\n"}) {
    EXPECT_NE(text.out.find(line), std::string::npos) << line;
  }
  const RunResult json = RunHost({"--no-cache", "--json", "info"});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonFact(json.out, "d['source_id']"), id[1].str());
  EXPECT_EQ(JsonFact(json.out, "d['info']['type'], d['info']['version_int']"), "('search', '2.1')");
  EXPECT_EQ(JsonFact(json.out, "d['supported_search']"), "2");
}

TEST(HostInfo, RefusesAFileThatIsNotAPlugin) {
  testing_support::TempDir dir;
  std::ofstream(dir.File("fake.so")) << "\x7f"
                                        "ELF but no information block at all";
  std::ofstream(dir.File("tagger.so")) << "###_PluginInfo_###Name=\"X\";Type=tagger;###";
  struct Case {
    std::string plugin;
    std::string message;
  };
  const Case cases[] = {
      {dir.File("fake.so"), "is not a Tunewell plug-in"},
      {dir.File("tagger.so"), "not a search plug-in"},
      {dir.File("missing.so"), "cannot read"},
  };
  for (const Case& c : cases) {
    for (const char* command : {"info", "artist"}) {
      std::vector<std::string> args = {"--no-cache", "--plugin", c.plugin, command};
      if (std::string(command) == "artist") args.push_back("The Lanterns");
      const RunResult r = RunHost(args);
      EXPECT_TRUE(r.exited);
      EXPECT_EQ(r.status, 2) << Describe(r);
      EXPECT_NE(r.err.find(c.message), std::string::npos) << Describe(r);
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST(HostUsage, MistakesExitTwoAndHelpTellsEveryCommand) {
  const testing_support::TempDir logs;
  const std::vector<std::string> cases[] = {
      {},
      {"fetch"},
      {"get", "only artist"},
      {"--timeout", "soon", "artist", "A"},
      {"--bogus", "info"},
      {"--trace-level", "Debug", "info"},
#ifndef _WIN32
      // A parent log is a regular file or a new one: never a device or a kernel setting.
      {"--log-dir", logs.path(), "--parent-log", "/dev/null", "info"},
      {"--log-dir", logs.path(), "--parent-log", "/proc/self/comm", "info"},
#endif
  };
  for (const auto& args : cases) {
    const RunResult r = RunHost(args);
    EXPECT_EQ(r.status, 2) << Describe(r);
    EXPECT_NE(r.err.find("tunewell: "), std::string::npos) << Describe(r);
  }
  const RunResult help = RunHost({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"get [--accept LEVEL] ARTIST TITLE", "songs ARTIST", "lyrics URL",
                           "demo", "--json"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  const RunResult version = RunHost({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tunewell 2.1.2000.0\n");
}

TEST_F(HostCommands, ArtistPrintsThePageAddress) {
  const e2e::CorpusArtist* artist = e2e::LoadCorpus().Artist("The Lanterns");
  ASSERT_NE(artist, nullptr);
  const RunResult text = Run({"artist", artist->name});
  ASSERT_EQ(text.status, 0) << Describe(text);
  EXPECT_EQ(text.out, artist->url() + "\n");
  const RunResult json = Run({"--json", "artist", artist->name});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonFact(json.out, "d['artist_url']"), artist->url());
  EXPECT_EQ(JsonFact(json.out, "d['status'], d['found'], d['query']['artist']"),
            "('found', True, 'The Lanterns')");
}

TEST_F(HostCommands, SongsListsEveryCorpusSongOfTheArtist) {
  const std::string artist = "The Lanterns";
  const std::vector<e2e::CorpusSong> songs = e2e::LoadCorpus().SongsOf(artist);
  ASSERT_FALSE(songs.empty());
  std::string expected;
  for (const e2e::CorpusSong& song : songs) expected += song.title + "\t" + song.url() + "\n";
  const RunResult text = Run({"songs", artist});
  ASSERT_EQ(text.status, 0) << Describe(text);
  EXPECT_EQ(text.out, expected);
  const RunResult json = Run({"--json", "songs", artist});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonFact(json.out, "len(d['songs'])"), std::to_string(songs.size()));
  EXPECT_EQ(
      JsonFact(json.out, "''.join(s['title'] + '\\t' + s['url'] + '\\n' for s in d['songs'])"),
      expected);
  EXPECT_EQ(JsonFact(json.out, "set(s['artist'] for s in d['songs'])"), "{'The Lanterns'}");
}

TEST_F(HostCommands, SongGetAndLyricsGiveTheCorpusAnswer) {
  const e2e::CorpusSong& song = FirstSongOfKind("lyrics");
  const RunResult found = Run({"song", song.artist, song.title});
  ASSERT_EQ(found.status, 0) << Describe(found);
  EXPECT_EQ(found.out, song.title + "\t" + song.url() + "\n");
  const RunResult foundJson = Run({"--json", "song", song.artist, song.title});
  ASSERT_EQ(foundJson.status, 0) << Describe(foundJson);
  EXPECT_EQ(JsonFact(foundJson.out, "d['song']['title'] + '\\t' + d['song']['url']"),
            song.title + "\t" + song.url());
  EXPECT_EQ(JsonFact(foundJson.out, "d['song']['artist'], 'lyrics' in d"),
            "('" + song.artist + "', False)");

  const RunResult get = Run({"get", song.artist, song.title});
  ASSERT_EQ(get.status, 0) << Describe(get);
  EXPECT_EQ(get.out, Lf(song.lyrics) + "\n");
  EXPECT_EQ(get.out.find('\r'), std::string::npos);

  const RunResult lyrics = Run({"lyrics", song.url()});
  ASSERT_EQ(lyrics.status, 0) << Describe(lyrics);
  EXPECT_EQ(lyrics.out, get.out);

  const RunResult json = Run({"--json", "get", song.artist, song.title});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonFact(json.out, "d['lyrics']"), Lf(song.lyrics));
  EXPECT_EQ(JsonFact(json.out, "d['song']['url'], d['song']['title'], d['song']['source_name']"),
            "('" + song.url() + "', '" + song.title + "', 'Tunewell')");
  EXPECT_EQ(JsonFact(json.out, "d['status']"), "found");
}

TEST_F(HostCommands, RawKeepsThePluginsLineEnds) {
  const e2e::CorpusSong& song = FirstSongOfKind("lyrics");
  ASSERT_NE(song.lyrics.find("\r\n"), std::string::npos) << "pick a song of several lines";
  const RunResult raw = Run({"--raw", "get", song.artist, song.title});
  ASSERT_EQ(raw.status, 0) << Describe(raw);
  EXPECT_EQ(raw.out, song.lyrics + "\n");
  const RunResult json = Run({"--raw", "--json", "lyrics", song.url()});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonFact(json.out, "d['lyrics']"), song.lyrics);
}

TEST_F(HostCommands, MissesExitOneWithAReason) {
  const e2e::CorpusSong& apology = FirstSongOfKind("apology");
  const e2e::CorpusSong& withdrawn = FirstSongOfKind("no_block");
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  const Case cases[] = {
      {{"artist", "Zzyzx Nobody Plays Here"}, "no artist page found for Zzyzx Nobody Plays Here"},
      {{"songs", "Zzyzx Nobody Plays Here"}, "no songs found for"},
      {{"song", "The Lanterns", "Zzyzx No Such Song"}, "no song found for"},
      {{"get", apology.artist, apology.title}, "no lyrics found for"},
      {{"lyrics", withdrawn.url()}, "no lyrics found for"},
      {{"artist", "!Bang"}, "no artist page found"},  // refused before any download
  };
  for (const Case& c : cases) {
    const RunResult text = Run(c.args);
    EXPECT_EQ(text.status, 1) << Describe(text);
    EXPECT_EQ(text.out, "");
    EXPECT_NE(text.err.find(c.reason), std::string::npos) << Describe(text);
    std::vector<std::string> json = c.args;
    json.insert(json.begin(), "--json");
    const RunResult j = Run(json);
    EXPECT_EQ(j.status, 1) << Describe(j);
    EXPECT_EQ(JsonFact(j.out, "d['status'], d['found']"), "('not found', False)") << j.out;
  }
}

// The reason comes from the plug-in's own log; the --proxy hint only when nothing answered.
TEST(HostDownloads, AFailedDownloadWithNothingFoundExitsThreeAndSaysWhy) {
  struct Case {
    std::string answerAll;  // the fault server's route for every request; empty: a closed port
    std::vector<std::string> args;
    std::string reason;  // empty: none told
    bool hint;
  };
  const std::vector<std::string> get = {"get", "The Lanterns", "Shining Home"};
#ifdef _WIN32
  // Wine's WinHTTP has no texts for these two numbers, so the plug-in's log tells no reason.
  const std::string redirects, notHttp;
#else
  const std::string redirects = "too many redirects, or a redirect that could not be followed";
  const std::string notHttp = "the answer was not HTTP";
#endif
  const std::vector<Case> cases = {
      {"", {"artist", "The Lanterns"}, "no connection could be made", true},
      {"", get, "no connection could be made", true},
      {"/status?code=404&reason=Not%20Found", get,
       "the server answered \xE2\x80\x9CNot Found\xE2\x80\x9D", false},
      {"/body?size=33554433", get, "the page is larger than the 32 MiB a download may take", false},
      {"/redirect?n=1", get, redirects, redirects.empty()},
      {"/raw?r=garbage%0D%0A%0D%0A", get, notHttp, notHttp.empty()},
  };
  for (const Case& c : cases) {
    std::optional<test_servers::FaultServer> server;
    if (!c.answerAll.empty()) server.emplace("", c.answerAll);
    std::vector<std::string> full = {"--proxy", server ? server->HostPort() : e2e::ClosedProxy(),
                                     "--no-cache", "--stats"};
    full.insert(full.end(), c.args.begin(), c.args.end());
    const RunResult r = RunHost(full);
    EXPECT_EQ(r.status, 3) << Describe(r);
    const std::string said = (c.reason.empty() ? "" : ": " + c.reason) +
                             (c.hint ? " (is the site reachable? see --proxy)\n" : "\n");
    EXPECT_NE(r.err.find("1 of 1 downloads failed and nothing was found for "), std::string::npos);
    EXPECT_NE(r.err.find(said), std::string::npos) << c.answerAll << "\n" << Describe(r);
    EXPECT_NE(r.err.find("downloads: 1 attempted, 0 successful"), std::string::npos) << r.err;
    full.insert(full.begin(), "--json");
    const RunResult j = RunHost(full);
    EXPECT_EQ(j.status, 3);
    EXPECT_EQ(JsonFact(j.out,
                       "d['status'], d['reason'], d['statistics']['downloads'], "
                       "d['statistics']['successful']"),
              "('download failed', " + (c.reason.empty() ? "None" : "'" + c.reason + "'") +
                  ", 1, 0)");
  }
}

TEST_F(HostCommands, StatsAndVerboseShowTheDealingsWithThePlugin) {
  const e2e::CorpusSong& song = FirstSongOfKind("lyrics");
  const RunResult r = Run({"--stats", "--verbose", "get", song.artist, song.title});
  ASSERT_EQ(r.status, 0) << Describe(r);
  EXPECT_NE(r.err.find("downloads: 2 attempted, 2 successful"), std::string::npos) << r.err;
  const std::string host = TUNEWELL_SITE_HOST_NAME;
  const std::string add = "HostIgnore AddHost \"" + host + "\" 1\n";
  const std::string remove = "HostIgnore RemoveHost \"" + host + "\"\n";
  // One AddHost before and one RemoveHost after each of the two downloads, in that order.
  std::size_t at = 0;
  for (const std::string& call : {add, remove, add, remove}) {
    at = r.err.find(call, at);
    ASSERT_NE(at, std::string::npos) << "missing " << call << " in\n" << r.err;
    ++at;
  }
  EXPECT_NE(r.err.find("CallMethod \"CloseAndMergeLog\": 1"), std::string::npos) << r.err;
}

TEST(HostDemo, FetchesTheFirstCorpusSongThroughItsOwnSite) {
  const e2e::CorpusSong& song = FirstSongOfKind("lyrics");
  const RunResult r = RunHost({"--no-cache", "demo"});
  ASSERT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out, Lf(song.lyrics) + "\n");
  EXPECT_NE(r.err.find("the lyrics match the site's corpus"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("stopped the site"), std::string::npos) << r.err;
  const RunResult json = RunHost({"--no-cache", "--json", "demo"});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonFact(json.out, "d['song']['artist'], d['song']['title']"),
            "('" + song.artist + "', '" + song.title + "')");
}

}  // namespace

namespace {

TEST(HostSite, RunsTheSiteInTheForegroundUntilCtrlC) {
#ifdef _WIN32
  GTEST_SKIP() << "Ctrl-C is a console's event: a test program under Wine has no console "
                  "to send it through";
#else
  e2e::ChildProcess site;
  ASSERT_TRUE(site.Start({TUNEWELL_HOST_PATH, "site", "--port", "0"}));
  ASSERT_TRUE(site.WaitForStdout("\n", std::chrono::seconds(20))) << site.SoFar().err;
  std::smatch address;
  const std::string out = site.SoFar().out;
  ASSERT_TRUE(std::regex_match(out, address, std::regex("(127\\.0\\.0\\.1:[0-9]+)\n"))) << out;
  EXPECT_NE(site.SoFar().err.find("--proxy " + address[1].str()), std::string::npos)
      << "it says how to use it";

  const RunResult artist = RunHost({"--proxy", address[1], "--no-cache", "artist", "The Lanterns"});
  EXPECT_EQ(artist.status, 0) << Describe(artist);

  site.Signal(SIGINT);
  const RunResult end = site.Wait();
  EXPECT_TRUE(end.exited);
  EXPECT_EQ(end.status, 0) << Describe(end);
  EXPECT_NE(end.err.find("site stopped"), std::string::npos) << end.err;
  // The site went with it.
  const RunResult after = RunHost({"--proxy", address[1], "--no-cache", "artist", "The Lanterns"});
  EXPECT_EQ(after.status, 3) << Describe(after);
#endif
}

TEST(HostSite, ATakenPortOrATimeOutEndsItWithStatusOne) {
  e2e::BundledSite taken;
  ASSERT_TRUE(taken.ok());
  struct Case {
    std::vector<std::string> args;
    std::string said;
  };
  const Case cases[] = {
      {{"site", "--port", std::to_string(taken.port())}, "cannot listen on 127.0.0.1:"},
      {{"--timeout", "1", "site"}, "site stopped"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunHost(c.args);
    EXPECT_EQ(r.status, 1) << Describe(r);
    EXPECT_NE(r.err.find(c.said), std::string::npos) << Describe(r);
    EXPECT_EQ(r.err.find("Traceback"), std::string::npos) << Describe(r);
  }
}

}  // namespace
