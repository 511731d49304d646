// What the user asked of one run of `tunewell`: the command, its arguments and every option,
// as parsed from the command line (cli/options.h) and completed from the config file and the
// environment (cli/setting_sources.h). Plain data that every feature reads; it is defined
// below them so that none needs the command line's parser. Single-threaded: made once in main.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace host {

struct Options {
  std::string command;                 // "get", "song", ... ; empty for --help / --version
  std::vector<std::string> arguments;  // the command's positional arguments

  std::optional<std::string> plugin;      // --plugin PATH
  std::optional<std::string> proxy;       // --proxy HOST:PORT
  std::optional<std::string> cacheDir;    // --cache-dir DIR
  bool noCache = false;                   // --no-cache
  std::optional<std::string> logDir;      // --log-dir DIR
  std::optional<std::string> traceLevel;  // --trace-level NAME
  std::optional<std::string> parentLog;   // --parent-log FILE
  float maxDifference = 1.0f;             // --max-difference X
  bool maxDifferenceGiven = false;        // set, not the default
  std::optional<double> timeoutSeconds;   // --timeout SECONDS
  bool json = false;
  bool raw = false;
  bool stats = false;
  bool verbose = false;
  bool quiet = false;  // get --batch, tag: only the problems on stderr
  bool acceptDoubtful = false;  // --accept doubtful: take a doubtful match too

  // get --batch FILE --out DIR [--delay MS]
  std::optional<std::string> batchFile;
  std::optional<std::string> outDir;
  std::optional<int> delayMs;  // also tag
  std::optional<int> retries;  // also tag
  // tag [--force] [--dry-run] [--failed FILE] [--from FILE] PATH...
  bool force = false;
  bool dryRun = false;
  std::optional<std::string> failedList;  // where to list the files not found or failed
  std::optional<std::string> fromList;    // more PATHs, one per line ("-": standard input)
  std::optional<std::string> language;    // --lang: of a new ID3v2 lyrics frame
  bool sidecar = false;                   // also NAME.txt beside each file tagged
  std::vector<std::string> include;  // tag, show: --include GLOB (tags/name_filter.h)
  std::vector<std::string> exclude;  // tag, show: --exclude GLOB
  // review [--open] PATH..., tag --review [--open] PATH...
  bool review = false;
  bool open = false;  // start the desktop's browser on the review page
  // show [--missing | --count] PATH...
  bool missing = false;
  bool count = false;
  // site --port N
  std::optional<int> port;

  bool help = false;
  bool version = false;

  // The options given on the command line, by name ("--delay"), each once: what a setting from
  // the config file does not override.
  std::vector<std::string> given;

  int BatchDelayMs() const { return delayMs.value_or(250); }
  int Retries() const { return retries.value_or(0); }
};

}  // namespace host
