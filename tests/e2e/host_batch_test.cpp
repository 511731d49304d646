// `tunewell get --batch FILE --out DIR` with the real plug-in against the bundled site: the
// files written, their names and contents, the per-song lines and the summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "e2e/host_harness.h"
#include "os/utf.h"
#include "support/temp_dir.h"

namespace {

using e2e::RunHost;
using e2e::RunResult;

std::string Describe(const RunResult& r) {
  return "status " + std::to_string(r.status) + "\nstdout: " + r.out.substr(0, 3000) +
         "\nstderr: " + r.err.substr(0, 3000);
}

// Songs with lyrics whose artist and title make plain file names, one per artist first so the
// batch crosses the corpus, and no artist/title pair twice.
std::vector<e2e::CorpusSong> KnownSongs(std::size_t count) {
  std::vector<e2e::CorpusSong> chosen;
  std::set<std::string> artists;
  for (int round = 0; round < 2 && chosen.size() < count; ++round) {
    for (const e2e::CorpusSong& song : e2e::LoadCorpus().songs) {
      if (chosen.size() == count) break;
      if (song.lyricsResult != 1 || song.kind != "lyrics") continue;
      const bool plain =
          (song.artist + song.title)
              .find_first_not_of(
                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ") ==
          std::string::npos;
      if (!plain || (round == 0 && artists.count(song.artist) != 0)) continue;
      if (round == 1 && artists.count(song.artist + "\t" + song.title) != 0) continue;
      artists.insert(song.artist);
      artists.insert(song.artist + "\t" + song.title);
      chosen.push_back(song);
    }
  }
  return chosen;
}

class HostBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.ok());
    known_ = KnownSongs(17);
    ASSERT_EQ(known_.size(), 17u);
    // Twenty lines: the known songs with three unknown ones among them, a blank line and a
    // Windows line end, as hand-made files have.
    std::ofstream batch(dir_.File("batch.tsv"), std::ios::binary);
    for (std::size_t i = 0; i < known_.size(); ++i) {
      if (i == 3) batch << "Zzyzx Nobody\tNo Such Song\n";
      if (i == 9) batch << known_[0].artist << "\tZzyzx Not A Title\r\n\n";
      if (i == 15) batch << "Qwerty Unknown\tAnything At All\n";
      batch << known_[i].artist << "\t" << known_[i].title << "\n";
    }
  }

  RunResult RunBatch(std::vector<std::string> extra) {
    std::vector<std::string> args = {
        "--proxy", site_.proxy(),    "--no-cache", "get", "--batch", dir_.File("batch.tsv"),
        "--out",   dir_.File("out"), "--delay",    "10"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunHost(args);
  }

  e2e::BundledSite site_;
  testing_support::TempDir dir_;
  std::vector<e2e::CorpusSong> known_;
};

TEST_F(HostBatch, WritesOneFilePerFoundSongAndSumsUp) {
  const RunResult r = RunBatch({});
  EXPECT_EQ(r.status, 1) << "some songs were not found\n" << Describe(r);
  EXPECT_EQ(r.out, "found 17, not found 3, failed 0\n") << Describe(r);

  std::vector<std::string> expectedFiles;
  for (const e2e::CorpusSong& song : known_) {
    const std::string name = song.artist + " - " + song.title + ".txt";
    expectedFiles.push_back(name);
    EXPECT_EQ(e2e::ReadFile(dir_.File("out/" + name)), e2e::Lf(song.lyrics) + "\n") << name;
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(testing_support::ListFiles(dir_.File("out")), expectedFiles);

  // stderr is not a terminal here: one plain line per song, in file order, saying how it matched.
  const std::string exact = known_[0].artist + " \xE2\x80\x93 " + known_[0].title + ", exact)\n";
  EXPECT_NE(r.err.find("1/20 found: " + known_[0].artist + " - " + known_[0].title +
                       " (matched as " + exact),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("4/20 not found: Zzyzx Nobody - No Such Song\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("20/20 found: "), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress bar off a terminal";
}

TEST_F(HostBatch, JsonCarriesEverySongAndTheSummary) {
  const RunResult r = RunBatch({"--json", "--raw"});
  EXPECT_EQ(r.status, 1) << Describe(r);
  EXPECT_EQ(e2e::JsonFact(r.out,
                          "d['summary']['found'], d['summary']['not_found'], "
                          "d['summary']['failed'], len(d['songs'])"),
            "(17, 3, 0, 20)");
  EXPECT_EQ(e2e::JsonFact(r.out, "[s['status'] for s in d['songs']].count('not found')"), "3");
  EXPECT_EQ(e2e::JsonFact(r.out, "d['songs'][3]['artist'], d['songs'][3]['line']"),
            "('Zzyzx Nobody', 4)");
  // --raw: the files keep the plug-in's CR LF.
  const e2e::CorpusSong& first = known_[0];
  EXPECT_EQ(e2e::ReadFile(dir_.File("out/" + first.artist + " - " + first.title + ".txt")),
            first.lyrics + "\n");
}

TEST_F(HostBatch, AllFoundExitsZeroAndUnreachableSiteExitsThree) {
  // Names beyond ASCII, which Windows must not read in its ANSI code page. The second title
  // carries a suffix the site's does not: found under the title without it, and said so.
  const std::string batchFile = dir_.File("small-\xC3\xA9\xE2\x82\xAC.tsv");
  const e2e::CorpusSong& suffixed = known_[1];
  {
    std::ofstream small(host::PathFromUtf8(batchFile));
    small << known_[0].artist << "\t" << known_[0].title << "\n"
          << suffixed.artist << "\t" << suffixed.title << " (Remastered 2011)\n";
  }
  const RunResult ok =
      RunHost({"--proxy", site_.proxy(), "--no-cache", "--json", "get", "--batch", batchFile,
               "--out", dir_.File("small-\xC5\x91\xE2\x82\xAC")});
  EXPECT_EQ(ok.status, 0) << Describe(ok);
  EXPECT_EQ(e2e::JsonFact(ok.out, "d['summary']['found'], [s['matched_as'] for s in d['songs']]"),
            "(2, [None, {'artist': '" + suffixed.artist + "', 'title': '" + suffixed.title +
                "'}])");
  EXPECT_NE(ok.err.find("2/2 found: " + suffixed.artist + " - " + suffixed.title +
                        " (Remastered 2011) (matched as " + suffixed.artist + " \xE2\x80\x93 " +
                        suffixed.title + ", variant: harmless words, artist by address)\n"),
            std::string::npos)
      << Describe(ok);

  const RunResult down =
      RunHost({"--proxy", e2e::ClosedProxy(), "--no-cache", "get", "--batch",
               batchFile, "--out", dir_.File("down"), "--delay", "0"});
  EXPECT_EQ(down.status, 3) << Describe(down);
  EXPECT_EQ(down.out, "found 0, not found 0, failed 2\n");
  EXPECT_TRUE(testing_support::ListFiles(dir_.File("down")).empty());
}

// The site goes away after three songs and comes back later: the songs asked for meanwhile
// are failed downloads, the lyrics already written stay, and the run goes on and finds the
// songs after the site is back. The host is held (SIGSTOP) while the site restarts, so that
// the outage covers a known stretch of the batch whatever the machine's speed.
TEST_F(HostBatch, SiteGoneMidBatchFailsThoseSongsAndFindsTheRestAfterwards) {
#ifdef _WIN32
  GTEST_SKIP() << "the host is held with SIGSTOP while the site restarts, which is POSIX's";
#else
  constexpr std::size_t kSongs = 12;
  {
    std::ofstream batch(dir_.File("outage.tsv"));
    for (std::size_t i = 0; i < kSongs; ++i) {
      batch << known_[i].artist << "\t" << known_[i].title << "\n";
    }
  }
  const int port = site_.port();
  e2e::ChildProcess host;
  ASSERT_TRUE(host.Start({TUNEWELL_HOST_PATH, "--proxy", site_.proxy(), "--no-cache", "get",
                          "--batch", dir_.File("outage.tsv"), "--out", dir_.File("outage"),
                          "--delay", "200"}));
  ASSERT_TRUE(host.WaitForStderr("3/12 found: ", std::chrono::seconds(60))) << host.SoFar().err;
  site_.Stop();
  ASSERT_TRUE(host.WaitForStderr("5/12 download failed: ", std::chrono::seconds(60)))
      << host.SoFar().err;
  host.Signal(SIGSTOP);
  const e2e::BundledSite back(0, "", port);
  host.Signal(SIGCONT);
  ASSERT_TRUE(back.ok()) << "the site restarts on port " << port;
  const RunResult r = host.Wait();

  EXPECT_EQ(r.status, 3) << "some downloads failed\n" << Describe(r);
  for (std::size_t i = 0; i < kSongs; ++i) {
    const std::string name = known_[i].artist + " - " + known_[i].title;
    const std::string line = std::to_string(i + 1) + "/12 ";
    const bool found = r.err.find(line + "found: " + name + " (matched as ") != std::string::npos;
    const bool failed = r.err.find(line + "download failed: no connection could be made (is the "
                                   "site reachable? see --proxy): " + name + "\n") != std::string::npos;
    // Song 6 may have been under way when the host was held; every other one is certain.
    if (i < 3 || i > 5) {
      EXPECT_TRUE(found) << line << Describe(r);
    }
    if (i == 3 || i == 4) {
      EXPECT_TRUE(failed) << line << Describe(r);
    }
    EXPECT_NE(found, failed) << line << Describe(r);
    EXPECT_EQ(found ? e2e::Lf(known_[i].lyrics) + "\n" : "",
              e2e::ReadFile(dir_.File("outage/" + name + ".txt")))
        << name;
  }
  EXPECT_TRUE(r.out == "found 10, not found 0, failed 2\n" ||
              r.out == "found 9, not found 0, failed 3\n")
      << Describe(r);
#endif
}

#ifdef __linux__
// Without --json no song's result is kept: a batch of any length runs in memory that does not
// grow with the songs done. Titles of 32 kB would make the kept results of 250 songs 8 MB.
TEST_F(HostBatch, WithoutJsonMemoryDoesNotGrowWithTheSongsDone) {
  {
    std::ofstream batch(dir_.File("long.tsv"));
    for (int i = 0; i < 250; ++i) {
      batch << "Zzyzx Nobody " << i << "\tNo Such Song " << std::string(32000, 'y') << "\n";
    }
  }
  // The shell tells its process id, which the host keeps.
  e2e::ChildProcess host;
  // A sanitizer build holds freed memory in quarantine, growing whatever the host keeps: none
  // there for this measure (the variable means nothing to other builds).
  ASSERT_TRUE(host.Start({"sh", "-c",
                          "echo $$; ASAN_OPTIONS=\"$ASAN_OPTIONS:quarantine_size_mb=0\" "
                          "exec \"$0\" \"$@\"", TUNEWELL_HOST_PATH,
                          "--proxy", site_.proxy(), "--no-cache", "get", "--batch",
                          dir_.File("long.tsv"), "--out", dir_.File("long"), "--delay", "0"}));
  const std::string status = "/proc/" + host.ReadLine() + "/status";
  const auto residentKb = [&status] {
    std::ifstream lines(status);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1L;
  };
  ASSERT_TRUE(host.WaitForStderr("10/250 ", std::chrono::seconds(60))) << host.SoFar().err;
  const long early = residentKb();
  ASSERT_TRUE(host.WaitForStderr("240/250 ", std::chrono::seconds(120))) << host.SoFar().err;
  const long late = residentKb();
  const RunResult r = host.Wait();
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "found 0, not found 250, failed 0\n");
  EXPECT_GT(early, 0);
  EXPECT_LT(late - early, 4000) << early << " kB after 10 songs, " << late << " kB after 240";
}
#endif

TEST_F(HostBatch, AMalformedFileIsRefusedBeforeAnySearch) {
  std::ofstream(dir_.File("bad.tsv")) << "Artist\tTitle\nno tab on this line\n";
  const RunResult r = RunHost({"--proxy", site_.proxy(), "--no-cache", "--stats", "get", "--batch",
                               dir_.File("bad.tsv"), "--out", dir_.File("bad")});
  EXPECT_EQ(r.status, 2) << Describe(r);
  EXPECT_NE(r.err.find("line 2: expected ARTIST<TAB>TITLE"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("bad")));
}

}  // namespace
