#include "cli/options.h"

#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace host {
namespace {

std::vector<std::string> Words(std::initializer_list<const char*> words) {
  return std::vector<std::string>(words.begin(), words.end());
}

TEST(Options, AcceptsEachCommandWithItsArguments) {
  struct Case {
    std::vector<std::string> args;
    std::string command;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {Words({"get", "The Lanterns", "Shining Home"}), "get",
       Words({"The Lanterns", "Shining Home"})},
      {Words({"song", "A", "B"}), "song", Words({"A", "B"})},
      {Words({"songs", "A"}), "songs", Words({"A"})},
      {Words({"artist", "A"}), "artist", Words({"A"})},
      {Words({"lyrics", "host/x.html"}), "lyrics", Words({"host/x.html"})},
      {Words({"info"}), "info", {}},
      {Words({"demo"}), "demo", {}},
      {Words({"site", "--port", "8080"}), "site", {}},
      // options after the command, and "--" for names that begin with a dash
      {Words({"artist", "--json", "--", "-ziq"}), "artist", Words({"-ziq"})},
      {Words({"get", "--batch", "f.tsv", "--out", "d"}), "get", {}},
      {Words({"tag", "--force", "--dry-run", "--delay", "0", "a.mp3", "music"}), "tag",
       Words({"a.mp3", "music"})},
      {Words({"show", "a.mp3", "b.flac"}), "show", Words({"a.mp3", "b.flac"})},
      {Words({"tag", "--from", "-"}), "tag", Words({})},  // the PATHs come from the list
      // the forms a named proxy may take
      {Words({"--proxy", "proxy.example", "info"}), "info", {}},
      {Words({"--proxy", "http://proxy.example:3128", "info"}), "info", {}},
      {Words({"--proxy", "[::1]:8080", "info"}), "info", {}},
  };
  for (const Case& c : cases) {
    Options options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(c.args, options, error)) << c.args[0] << ": " << error;
    EXPECT_EQ(options.command, c.command);
    EXPECT_EQ(options.arguments, c.arguments);
  }
}

TEST(Options, ReadsValuesInBothSpellings) {
  Options options;
  std::string error;
  ASSERT_TRUE(
      ParseCommandLine(Words({"--proxy=127.0.0.1:8080", "--max-difference", "25.5", "--timeout=1.5",
                              "--log-dir", "logs", "--trace-level", "Debug", "--parent-log=p.txt",
                              "--raw", "--stats", "--cache-dir", "c", "artist", "A"}),
                       options, error))
      << error;
  EXPECT_EQ(options.proxy, "127.0.0.1:8080");
  EXPECT_FLOAT_EQ(options.maxDifference, 25.5f);
  EXPECT_DOUBLE_EQ(*options.timeoutSeconds, 1.5);
  EXPECT_EQ(options.logDir, "logs");
  EXPECT_EQ(options.traceLevel, "Debug");
  EXPECT_EQ(options.parentLog, "p.txt");
  EXPECT_EQ(options.cacheDir, "c");
  EXPECT_TRUE(options.raw);
  EXPECT_TRUE(options.stats);
  EXPECT_FALSE(options.json);
}

TEST(Options, DefaultsWhenNothingIsGiven) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(Words({"get", "--batch", "f", "--out", "d"}), options, error));
  EXPECT_EQ(options.BatchDelayMs(), 250);
  EXPECT_FLOAT_EQ(options.maxDifference, 1.0f);
  EXPECT_FALSE(options.timeoutSeconds.has_value());
  EXPECT_FALSE(options.proxy.has_value());
}

TEST(Options, RefusesWhatCannotWork) {
  struct Case {
    std::vector<std::string> args;
    std::string message;  // a part of the error
  };
  const Case cases[] = {
      {{}, "no COMMAND"},
      {Words({"fetch"}), "unknown command fetch"},
      {Words({"get", "A"}), "get [--accept LEVEL] ARTIST TITLE"},
      {Words({"get", "A", "B", "C"}), "get [--accept LEVEL] ARTIST TITLE"},
      {Words({"get", "A", ""}), "TITLE is empty"},
      {Words({"song", "A", ""}), "TITLE is empty"},
      {Words({"info", "extra"}), "usage"},
      {Words({"--frobnicate", "info"}), "unknown option --frobnicate"},
      {Words({"info", "--plugin"}), "--plugin needs a value"},
      {Words({"--json=yes", "info"}), "--json takes no value"},
      {Words({"--max-difference", "abc", "info"}), "bad value for --max-difference"},
      {Words({"--max-difference", "-1", "info"}), "bad value for --max-difference"},
      {Words({"--max-difference", "nan", "info"}), "bad value for --max-difference"},
      {Words({"--timeout", "0", "info"}), "bad value for --timeout"},
      {Words({"--timeout", "5s", "info"}), "bad value for --timeout"},
      {Words({"--trace-level", "debug", "--log-dir", "l", "info"}), "bad value for --trace-level"},
      {Words({"--trace-level", "Debug", "info"}), "--trace-level needs --log-dir"},
      {Words({"--parent-log", "p", "info"}), "--parent-log needs --log-dir"},
      {Words({"--proxy", "", "info"}), "bad value for --proxy"},
      {Words({"--proxy", "a b:1", "info"}), "bad value for --proxy"},
      {Words({"--proxy", ":", "info"}), "bad value for --proxy: \":\" (expected HOST:PORT"},
      {Words({"--proxy", "h:70000", "info"}), "bad value for --proxy"},
      {Words({"--proxy", "h:", "info"}), "bad value for --proxy"},
      {Words({"--proxy", "http://:80", "info"}), "bad value for --proxy"},
      {Words({"--proxy", "[::1", "info"}), "bad value for --proxy"},
      {Words({"--proxy", "127.0.0.1:1", "demo"}), "leave out --proxy"},
      {Words({"--no-cache", "--cache-dir", "c", "info"}), "exclude each other"},
      {Words({"song", "A", "B", "--batch", "f", "--out", "d"}), "--batch belongs to get --batch"},
      {Words({"tag"}), "[--include GLOB] [--exclude GLOB] [--open] [--accept LEVEL] PATH..."},
      {Words({"show"}), "[--missing | --count] PATH..."},
      {Words({"show", "--count", "--missing", "m"}), "--missing, --count and --json exclude"},
      {Words({"tag", "--review", "--dry-run", "m"}), "--review and --dry-run exclude each other"},
      {Words({"review"}), "[--open] [--accept LEVEL] PATH..."},
      {Words({"review", "--dry-run", "m"}), "--dry-run belongs to tag"},
      {Words({"get", "A", "B", "--open"}), "--open belongs to tag and review"},
      {Words({"tag", "--count", "m"}), "--count belongs to show"},
      {Words({"get", "A", "B", "--quiet"}), "--quiet belongs to get --batch, tag and review"},
      {Words({"info", "--exclude", "*.mp3"}), "--exclude belongs to tag, review and show"},
      {Words({"show", "--force", "a.mp3"}), "--force belongs to tag and review"},
      {Words({"get", "A", "B", "--dry-run"}), "--dry-run belongs to tag"},
      {Words({"show", "--from", "list", "a.mp3"}), "--from belongs to tag and review"},
      {Words({"show", "--delay", "5", "a.mp3"}), "--delay belongs to get --batch, tag and review"},
      {Words({"song", "A", "B", "--retries", "1"}), "--retries belongs to get --batch, tag and review"},
      {Words({"tag", "--retries", "11", "a.mp3"}), "(expected a count from 0 to 10)"},
      {Words({"tag", "--lang", "EN", "a.mp3"}), "(expected a language code of three lower-case"},
      {Words({"tag", "--raw", "a.mp3"}), "--raw does not go with tag or show"},
      {Words({"get", "--batch", "f"}), "--batch and --out go together"},
      {Words({"get", "--out", "d", "A", "B"}), "--batch and --out go together"},
      {Words({"get", "A", "B", "--delay", "5"}), "--delay belongs to get --batch, tag and review"},
      {Words({"get", "--batch", "f", "--out", "d", "A", "B"}), "takes no ARTIST"},
      {Words({"get", "--batch", "f", "--out", "d", "--delay", "-5"}), "bad value for --delay"},
      {Words({"tag", "--delay", "86400000", "a.mp3"}), "(expected milliseconds from 0 to 3600000)"},
      {Words({"--cache-dir", "Caf\xE9", "info"}), "\"Caf\\xE9\" (expected a name in UTF-8"},
      {Words({"--log-dir", "l\xFF", "info"}), "bad value for --log-dir"},
      {Words({"info", "--port", "80"}), "--port belongs to site"},
      {Words({"site", "--port", "70000"}), "bad value for --port"},
  };
  for (const Case& c : cases) {
    Options options;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, options, error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
  }
}

TEST(Options, HelpAndVersionNeedNoCommand) {
  for (const char* flag : {"-h", "--help", "--version"}) {
    Options options;
    std::string error;
    EXPECT_TRUE(ParseCommandLine(Words({flag}), options, error)) << flag;
    EXPECT_TRUE(options.help || options.version);
  }
}

// Each build's help tells the truth about that build: the Windows one has no tag or show, nor
// the options only they take.
TEST(Options, HelpNamesEveryOptionAndCommandOfThisBuild) {
  const std::vector<const char*> everywhere = {
      "get [--accept LEVEL] ARTIST TITLE", "song [--accept LEVEL] ARTIST TITLE", "songs ARTIST", "artist ARTIST", "lyrics URL",
      "info", "site [--port N]", "demo", "--quiet", "--batch FILE", "--out DIR", "--delay MS",
      "--retries N", "--plugin PATH", "--proxy HOST:PORT", "--cache-dir DIR", "--no-cache",
      "--log-dir DIR", "--trace-level NAME", "--parent-log FILE", "--max-difference X",
      "--timeout SECONDS", "--json", "--raw", "--stats", "--verbose", "-h, --help", "--version",
      "Exit status"};
  const std::vector<const char*> withTags = {
      "tag [--force] [--review | --dry-run] [--delay MS] [--retries N] [--failed FILE]",
      "review [--force] [--delay MS]", "--review", "--open", "--failed FILE",
      "--from FILE", "--lang CODE", "--sidecar", "--include GLOB", "--exclude GLOB",
      "show [--include GLOB] [--exclude GLOB] [--missing | --count] PATH...",
      "else 4 when any file\n      or folder met a local problem"};
#ifdef _WIN32
  constexpr bool kTags = false;
#else
  constexpr bool kTags = true;
#endif
  const std::string help = UsageText();
  for (const char* word : everywhere) EXPECT_NE(help.find(word), std::string::npos) << word;
  for (const char* word : withTags) {
    EXPECT_EQ(help.find(word) != std::string::npos, kTags) << word;
  }
  EXPECT_EQ(help.find("libtunewell.so") != std::string::npos, kTags);
}

TEST(Options, CommandHelpIsThatCommandsEntry) {
  struct Case {
    const char* command;
    std::vector<const char*> has, hasNot;
  };
  const Case cases[] = {
#ifndef _WIN32
      {"tag", {"usage: tunewell [OPTIONS] tag [--force]", "store lyrics in music files"},
       {"print the best match", "show [--missing"}},
#endif
      {"get", {"get [--accept LEVEL] ARTIST TITLE\n                        find",
               "get --batch FILE --out DIR"},
       {"store lyrics"}},
      {"song", {"print the best match"}, {"print the artist's songs"}},
      {"nosuch", {}, {"usage"}},
  };
  for (const Case& c : cases) {
    const std::string help = CommandHelp(c.command);
    for (const char* text : c.has) EXPECT_NE(help.find(text), std::string::npos) << c.command;
    for (const char* text : c.hasNot) EXPECT_EQ(help.find(text), std::string::npos) << c.command;
  }
}

}  // namespace
}  // namespace host
