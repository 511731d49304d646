// The command line of `tunewell`: what the user asked for, parsed and checked before anything
// is loaded or downloaded. Parsing is pure (no environment, no files); the caller resolves
// defaults that depend on the environment (the cache folder, the plug-in path) afterwards.
// Single-threaded: called once from main.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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
  // show [--missing | --count] PATH...
  bool missing = false;
  bool count = false;
  // site --port N
  std::optional<int> port;

  bool help = false;
  bool version = false;

  int BatchDelayMs() const { return delayMs.value_or(250); }
  int Retries() const { return retries.value_or(0); }
};

// Parses argv[1..]. Options may stand before or after the command; "--" ends the options so
// that an artist or title may begin with "-". Both "--name VALUE" and "--name=VALUE" work.
// False with a message for the user on an unknown option, a missing or malformed value, a
// wrong number of arguments or options that do not go together.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// Sets one option from a value given elsewhere (the config file, the environment), checked as on
// the command line. False with the same message the command line would get.
bool ApplyOption(Options& options, std::string_view name, const std::string& value,
                 std::string& error);

// The text of --help.
const char* UsageText();
// The help of one command: its synopsis and its entry in UsageText (get: both forms); empty
// for a name that is no command.
std::string CommandHelp(const std::string& command);

}  // namespace host
