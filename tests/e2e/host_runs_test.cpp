// The real `tunewell` binary across runs and under interruption: the artist cache reused by a
// second run, --timeout against a slow site, Ctrl-C during a search, and the trace log merged
// into the parent log named on the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "e2e/host_harness.h"
#include "support/temp_dir.h"

namespace {

using e2e::RunHost;
using e2e::RunResult;

std::string Describe(const RunResult& r) {
  return "status " + std::to_string(r.status) + (r.exited ? "" : " (not exited normally)") +
         " signal " + std::to_string(r.signal) + "\nstdout: " + r.out.substr(0, 2000) +
         "\nstderr: " + r.err.substr(0, 2000);
}

int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// No sanitizer report, no crash message: the process ended on its own terms.
void ExpectCleanEnd(const RunResult& r) {
  EXPECT_TRUE(r.exited) << Describe(r);
  for (const char* bad : {"Sanitizer", "runtime error", "Segmentation", "Aborted", "terminate"}) {
    EXPECT_EQ(r.err.find(bad), std::string::npos) << bad << "\n" << r.err;
  }
}

TEST(HostCache, ASecondRunFindsTheArtistWithoutTheSite) {
  testing_support::TempDir dir;
  const std::string cache = dir.File("cache/nested");  // created by the host
  const std::string log = dir.File("site.log");
  const e2e::CorpusArtist* artist = e2e::LoadCorpus().Artist("The Lanterns");
  ASSERT_NE(artist, nullptr);
  std::string proxy;
  {
    e2e::BundledSite site(0, log);
    ASSERT_TRUE(site.ok());
    proxy = site.proxy();
    const RunResult first =
        RunHost({"--proxy", proxy, "--cache-dir", cache, "--stats", "artist", artist->name});
    ASSERT_EQ(first.status, 0) << Describe(first);
    EXPECT_EQ(first.out, artist->url() + "\n");
    EXPECT_NE(first.err.find("downloads: 1 attempted, 1 successful"), std::string::npos);
    site.Stop();
  }
  EXPECT_EQ(CountLines(e2e::ReadFile(log)), 1) << "one download in the first run";
  int cacheFiles = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cache)) {
    cacheFiles += entry.path().extension() == ".ARTISTCACHE";
  }
  EXPECT_GT(cacheFiles, 0) << "the cache wrote its files";

  // The site is gone: only the cache can answer.
  const RunResult second =
      RunHost({"--proxy", proxy, "--cache-dir", cache, "--stats", "artist", artist->name});
  ASSERT_EQ(second.status, 0) << Describe(second);
  EXPECT_EQ(second.out, artist->url() + "\n");
  EXPECT_NE(second.err.find("downloads: 0 attempted, 0 successful"), std::string::npos)
      << second.err;
  // Without the cache the same run fails to download.
  const RunResult uncached = RunHost({"--proxy", proxy, "--no-cache", "artist", artist->name});
  EXPECT_EQ(uncached.status, 3) << Describe(uncached);
}

// The default cache folder lies in the user's folders; where those do not exist (a service
// account's HOME), none is made and the run goes on without a cache.
TEST(HostCache, AMissingHomeIsNeverMade) {
  testing_support::TempDir dir;
  const std::string home = dir.File("no-such-home");
#ifdef _WIN32
  const std::pair<const char*, std::string> user[] = {{"LOCALAPPDATA", home + "\\Local"}};
#else  // an empty XDG_CACHE_HOME is ignored: the default then lies under HOME
  const std::pair<const char*, std::string> user[] = {{"HOME", home}, {"XDG_CACHE_HOME", ""}};
#endif
  std::vector<std::pair<const char*, std::string>> saved;
  const auto set = [](const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
  };
  for (const auto& [name, value] : user) {
    saved.emplace_back(name, std::getenv(name) != nullptr ? std::getenv(name) : "");
    set(name, value);
  }
  const RunResult r = RunHost({"--proxy", e2e::ClosedProxy(), "artist", "Kestrel"});
  for (const auto& [name, value] : saved) set(name, value);
  EXPECT_EQ(r.status, 3) << Describe(r);
  EXPECT_NE(r.err.find("going on without a cache"), std::string::npos) << Describe(r);
  EXPECT_FALSE(std::filesystem::exists(home)) << "the host made " << home;
}

// --timeout is a hard limit: the site holds its answer far longer than the time-out (and than
// the downloader's own receive time-out), yet the host ends soon after the time-out. The test
// waits a bounded time for the end rather than timing it. (On Windows WinHTTP holds the request
// waiting for its headers: there the host leaves the plug-in's call behind.)
TEST(HostCancel, TimeoutAgainstASlowSiteEndsCleanlyWithStatusOne) {
  e2e::BundledSite slow(120000);
  ASSERT_TRUE(slow.ok());
  for (const char* format : {"text", "json"}) {
    std::vector<std::string> args = {TUNEWELL_HOST_PATH, "--proxy",      slow.proxy(),
                                     "--no-cache",       "--timeout",    "0.5",
                                     "get",              "The Lanterns", "Shining Home"};
    if (std::string(format) == "json") args.insert(args.begin() + 1, "--json");
    e2e::ChildProcess host;
    ASSERT_TRUE(host.Start(args));
    const bool ended = host.WaitForStderr("timed out after", std::chrono::seconds(15));
    if (!ended) host.Kill();
    const RunResult r = host.Wait();
    EXPECT_TRUE(ended) << "still running well past its time-out\n" << Describe(r);
    ExpectCleanEnd(r);
    EXPECT_EQ(r.status, 1) << Describe(r);
    EXPECT_NE(r.err.find("timed out after 0.5 s"), std::string::npos) << Describe(r);
    if (std::string(format) == "json") {
      EXPECT_EQ(e2e::JsonFact(r.out, "d['status'], d['found']"), "('timed out', False)");
    } else {
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST(HostCancel, CtrlCDuringAGetEndsCleanlyWithStatusOne) {
#ifdef _WIN32
  GTEST_SKIP() << "Ctrl-C is a console's event: a test program under Wine has no console "
                  "to send it through";
#else
  e2e::BundledSite slow(2500);
  ASSERT_TRUE(slow.ok());
  e2e::ChildProcess host;
  ASSERT_TRUE(host.Start({TUNEWELL_HOST_PATH, "--proxy", slow.proxy(), "--no-cache", "--verbose",
                          "--stats", "get", "The Lanterns", "Shining Home"}));
  // AddHost comes just before the download: the search is under way.
  ASSERT_TRUE(host.WaitForStderr("HostIgnore AddHost", std::chrono::seconds(20)))
      << host.SoFar().err;
  host.Signal(SIGINT);
  const RunResult r = host.Wait();
  ExpectCleanEnd(r);
  EXPECT_EQ(r.status, 1) << Describe(r);
  EXPECT_NE(r.err.find("tunewell: interrupted"), std::string::npos) << Describe(r);
  EXPECT_EQ(r.out, "");
  // The plug-in checked QueryCancel after the download and did not start GetLyrics.
  EXPECT_NE(r.err.find("downloads: 1 attempted"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CallMethod \"CloseAndMergeLog\""), std::string::npos) << r.err;
  // Cancelled inside DownloadPage, the plug-in skipped RemoveHost: the host's list shows it.
  EXPECT_NE(r.err.find("HostIgnore still lists \"" TUNEWELL_SITE_HOST_NAME "\""),
            std::string::npos)
      << r.err;
#endif
}

// UTF-16LE bytes to UTF-8, for the ASCII content of the log lines.
std::string FromUtf16(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned unit =
        static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    text += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return text;
}

TEST(HostLog, TheParentLogHoldsTheRunsSection) {
  testing_support::TempDir dir;
  const std::string logs = dir.File("logs");
  const std::string parent = dir.File("parent.log");
  std::ofstream(parent, std::ios::binary)
      << std::string("\xFF\xFE", 2) << std::string("e\0a\0r\0l\0i\0e\0r\0\r\0\n\0", 18);
  e2e::BundledSite site;
  ASSERT_TRUE(site.ok());
  const RunResult r =
      RunHost({"--proxy", site.proxy(), "--no-cache", "--log-dir", logs, "--trace-level", "Debug",
               "--parent-log", parent, "artist", "The Lanterns"});
  ASSERT_EQ(r.status, 0) << Describe(r);
  const std::string bytes = e2e::ReadFile(parent);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
  const std::string text = FromUtf16(bytes.substr(2));
  EXPECT_EQ(text.rfind("earlier\r\n", 0), 0u) << "the earlier content stays first";
  std::smatch section;
  ASSERT_TRUE(std::regex_search(
      text, section, std::regex("\r\n\r\n(Tunewell_[0-9]{8}_[0-9]{6}_[0-9A-F]+\\.txt)\r\n")))
      << text;
  // The run's own lines: the level it set, and its download of the artist search.
  EXPECT_NE(text.find("TraceLevel: Debug"), std::string::npos) << text;
#ifdef _WIN32
  EXPECT_NE(text.find("ParentLogfilePath: " + parent), std::string::npos) << text;
#else  // the file the host opened and checked at the start, not a name that could be swapped
  EXPECT_NE(text.find("ParentLogfilePath: /proc/self/fd/"), std::string::npos) << text;
#endif
  // The trace file itself was merged and removed.
  EXPECT_TRUE(testing_support::ListFiles(logs).empty()) << testing_support::ListFiles(logs).front();
}

}  // namespace
