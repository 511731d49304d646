#include "cli/option_table.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "os/utf.h"

namespace host {
namespace {

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool ParseInteger(const std::string& text, long low, long high, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || parsed < low || parsed > high) {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

// The action of an integer option: the value, from low to high, into member.
std::function<bool(Options&, const std::string&)> IntegerInto(std::optional<int> Options::*member,
                                                              long low, long high) {
  return [member, low, high](Options& o, const std::string& v) {
    int n = 0;
    if (!ParseInteger(v, low, high, n)) return false;
    o.*member = n;
    return true;
  };
}

// The action of a flag.
std::function<bool(Options&, const std::string&)> Flag(bool Options::*member) {
  return [member](Options& o, const std::string&) { return o.*member = true; };
}

bool SetText(std::optional<std::string>& field, const std::string& value) {
  if (value.empty()) return false;
  field = value;
  return true;
}

std::function<bool(Options&, const std::string&)> TextInto(
    std::optional<std::string> Options::*member) {
  return [member](Options& o, const std::string& v) { return SetText(o.*member, v); };
}

// A folder or file the plug-in opens: it takes paths as UTF-16, so a name in bytes that are
// not UTF-8 would reach it as another name (and the host would make one folder, the plug-in
// use another).
std::function<bool(Options&, const std::string&)> PluginPathInto(
    std::optional<std::string> Options::*member) {
  return [member](Options& o, const std::string& v) { return IsUtf8(v) && SetText(o.*member, v); };
}

constexpr std::string_view kPluginPath = "a name in UTF-8: the plug-in takes its paths as UTF-16";

bool IsTraceLevelName(const std::string& name) {
  for (const char* known : {"Error", "Warning", "Info", "Debug", "Detail", "Verbose"}) {
    if (name == known) return true;
  }
  return false;
}

// Whether text is a port number, 1 to 65535.
bool IsPort(std::string_view text) {
  int port = 0;
  return ParseInteger(std::string(text), 1, 65535, port);
}

// A proxy is handed to the plug-in as it stands: [SCHEME://]HOST[:PORT], the host a name, an
// IPv4 address or a bracketed IPv6 one. Refused is what cannot reach any proxy: blanks or control
// characters, no host, a port that is not 1 to 65535.
bool IsProxyText(const std::string& text) {
  for (const unsigned char c : text) {
    if (c <= ' ' || c == 0x7F) return false;
  }
  std::string_view rest = text;
  if (const std::size_t scheme = rest.find("://"); scheme != std::string_view::npos) {
    rest.remove_prefix(scheme + 3);
  }
  std::size_t hostEnd = rest.find(':');
  if (!rest.empty() && rest[0] == '[') {
    hostEnd = rest.find(']');
    if (hostEnd == std::string_view::npos) return false;
    ++hostEnd;
    if (hostEnd < rest.size() && rest[hostEnd] != ':') return false;
  }
  if (hostEnd == 0 || rest.empty()) return false;
  if (hostEnd >= rest.size()) return true;
  return IsPort(rest.substr(hostEnd + 1));
}

#ifdef _WIN32
constexpr std::string_view kPluginHelp =
    "the plug-in library (default: Tunewell.dll beside this program)";
constexpr std::string_view kCacheHelp =
    "\"LocalCacheFolder\", created if missing (default:\n%LOCALAPPDATA%\\tunewell)";
#else
constexpr std::string_view kPluginHelp =
    "the plug-in library (default: libtunewell.so beside this binary,\n"
    "else ../lib/tunewell/libtunewell.so from it)";
constexpr std::string_view kCacheHelp =
    "\"LocalCacheFolder\", created if missing (default:\n"
    "$XDG_CACHE_HOME/tunewell, else ~/.cache/tunewell)";
#endif

std::string FormatNumber(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

const std::vector<OptionSpec>& OptionTable() {
  using S = Scope;
  static const std::vector<OptionSpec> table = {
      {.name = "--plugin",
       .placeholder = "PATH",
       .apply = TextInto(&Options::plugin),
       .help = kPluginHelp},
      {.name = "--proxy",
       .placeholder = "HOST:PORT",
       .apply = [](Options& o, const std::string& v) {
         if (!IsProxyText(v)) return false;
         o.proxy = v;
         return true;
       },
       .accepts = "HOST:PORT, with a port from 1 to 65535",
       .help = "the answer to \"HttpProxy\" (default: none, the system setting;\n"
       "not with demo, which points it at the site it starts)",
       .scope = S::AllBut,
       .commands = {"demo"},
       .refusal = "demo points \"HttpProxy\" at the site it starts: leave out --proxy",
       .configKey = "proxy",
       .shown = [](const Options& o) { return o.proxy.value_or("none (the system's setting)"); }},
      {.name = "--cache-dir",
       .placeholder = "DIR",
       .apply = PluginPathInto(&Options::cacheDir),
       .accepts = kPluginPath,
       .help = kCacheHelp},
      {.name = "--no-cache",
       .apply = Flag(&Options::noCache),
       .help = "do not set \"LocalCacheFolder\""},
      {.name = "--log-dir",
       .placeholder = "DIR",
       .apply = PluginPathInto(&Options::logDir),
       .accepts = kPluginPath,
       .help = "\"LogFolder\", created if missing: the plug-in's trace log"},
      {.name = "--trace-level",
       .placeholder = "NAME",
       .apply = [](Options& o, const std::string& v) {
         if (!IsTraceLevelName(v)) return false;
         o.traceLevel = v;
         return true;
       },
       .accepts = "Error, Warning, Info, Debug, Detail or Verbose",
       .help = "\"TraceLevel\" (needs --log-dir): Error, Warning (the default),\n"
       "Info, Debug, Detail or Verbose. The host reads the warnings of\n"
       "failed downloads back to say why they failed (without --log-dir\n"
       "from a log of its own in the temporary folder, removed at exit)",
       .needs = "--log-dir"},
      {.name = "--parent-log",
       .placeholder = "FILE",
       .apply = PluginPathInto(&Options::parentLog),
       .accepts = kPluginPath,
       .help = "\"ParentLogfilePath\" (needs --log-dir): the log that the run's\n"
       "trace is appended to at exit",
       .needs = "--log-dir"},
      {.name = "--max-difference",
       .placeholder = "X",
       .apply = [](Options& o, const std::string& v) {
         double x = 0;
         if (!ParseNumber(v, x) || x < 0 || x > 3.4e38) return false;
         o.maxDifference = static_cast<float>(x);
         o.maxDifferenceGiven = true;
         return true;
       },
       .accepts = "a number from 0 to 3.4e38",
       .help = "the answer to \"MaxMatchDifference\" (default 1.0) for the plug-in's\n"
               "first search of a song; the host judges the match itself (see get).\n"
               "The largest name distance accepted, exclusive; 0.0 is a perfect\n"
               "match. A space added or dropped costs 5, a digit 20, a punctuation\n"
               "mark 30, a letter 70, a letter changed 100; inside brackets a\n"
               "tenth. So 1 takes only the same name (case and outer spaces\n"
               "aside), 50 a few spaces or a punctuation mark, 150 a wrong letter\n"
               "too: from 100 on a different song may be offered (a warning says\n"
               "so)",
       .configKey = "max_difference",
       .shown = [](const Options& o) { return FormatNumber(o.maxDifference); }},
      {.name = "--timeout",
       .placeholder = "SECONDS",
       .apply = [](Options& o, const std::string& v) {
         double x = 0;
         if (!ParseNumber(v, x) || x <= 0 || x > 1e9) return false;
         o.timeoutSeconds = x;
         return true;
       },
       .accepts = "seconds, more than 0 and at most 1e9",
       .help = "answer QueryCancel with true once this much time has passed since\n"
       "the start: the search stops and the exit status is 1 (site: the\n"
       "site is stopped then). A download that cannot stop (WinHTTP\n"
       "waiting for an answer) is left behind a second later"},
      {.name = "--batch",
       .placeholder = "FILE",
       .apply = TextInto(&Options::batchFile),
       .help = "the ARTIST<TAB>TITLE lines of the songs to fetch",
       .scope = S::Only,
       .commands = {"get --batch"}},
      {.name = "--out",
       .placeholder = "DIR",
       .apply = TextInto(&Options::outDir),
       .help = "the folder the lyrics files are written to",
       .scope = S::Only,
       .commands = {"get --batch"}},
      {.name = "--force",
       .apply = Flag(&Options::force),
       .help = "replace the lyrics a file already holds",
       .scope = S::Only,
       .commands = {"tag", "review"}},
      {.name = "--dry-run",
       .apply = Flag(&Options::dryRun),
       .help = "search, but write nothing",
       .scope = S::Only,
       .commands = {"tag"}},
      {.name = "--delay",
       .placeholder = "MS",
       .apply = IntegerInto(&Options::delayMs, 0, 3600000),
       .accepts = "milliseconds from 0 to 3600000",
       .help = "the wait between two searches, in milliseconds (default 250)",
       .scope = S::Only,
       .commands = {"get --batch", "tag", "review"},
       .configKey = "delay",
       .shown = [](const Options& o) { return std::to_string(o.BatchDelayMs()) + " ms"; }},
      {.name = "--retries",
       .placeholder = "N",
       .apply = IntegerInto(&Options::retries, 0, 10),
       .accepts = "a count from 0 to 10",
       .help = "more tries for a song whose download failed (default 0, at most\n10)",
       .scope = S::Only,
       .commands = {"get --batch", "tag", "review"},
       .configKey = "retries",
       .shown = [](const Options& o) { return std::to_string(o.Retries()); }},
      {.name = "--failed",
       .placeholder = "FILE",
       .apply = TextInto(&Options::failedList),
       .help = "list the files not found or failed there, one per line",
       .scope = S::Only,
       .commands = {"tag", "review"}},
      {.name = "--from",
       .placeholder = "FILE",
       .apply = TextInto(&Options::fromList),
       .help = "take more PATHs from the list in FILE (- for stdin), one per line",
       .scope = S::Only,
       .commands = {"tag", "review"}},
      {.name = "--lang",
       .placeholder = "CODE",
       .apply = [](Options& o, const std::string& v) {
         const bool code = v.size() == 3 && std::all_of(v.begin(), v.end(), [](char c) {
                             return c >= 'a' && c <= 'z';
                           });
         return code && SetText(o.language, v);
       },
       .accepts = "a language code of three lower-case letters (ISO 639-2), such as eng or deu",
       .help = "the language of a new ID3v2 lyrics frame (default eng; a frame\n"
       "replaced keeps its own)",
       .scope = S::Only,
       .commands = {"tag", "review"}},
      {.name = "--sidecar",
       .apply = Flag(&Options::sidecar),
       .help = "also write the lyrics to NAME.txt beside each file tagged (a\n"
       "NAME.txt that tunewell did not write is kept)",
       .scope = S::Only,
       .commands = {"tag", "review"}},
      {.name = "--quiet",
       .apply = Flag(&Options::quiet),
       .help = "no progress on stderr but the lines of songs not found or failed;\n"
       "the summary as ever",
       .scope = S::Only,
       .commands = {"get --batch", "tag", "review"}},
      {.name = "--include",
       .placeholder = "GLOB",
       .apply = [](Options& o, const std::string& v) {
         o.include.push_back(v);
         return !v.empty();
       },
       .help = "take only the music files whose name matches an --include (if\n"
       "any is given); a GLOB holding a / is matched against the whole\n"
       "path, so '*/Kestrel/*' takes the files under a folder Kestrel.\n"
       "* any run, ? one character, [abc] [a-z] [!abc] one of a set; case\n"
       "counts but in the extension (*.mp3 takes SONG.MP3). An --include\n"
       "that matches no file is named; when none is left, the run stops\n"
       "with status 2. May be repeated",
       .scope = S::Only,
       .commands = {"tag", "review", "show"}},
      {.name = "--exclude",
       .placeholder = "GLOB",
       .apply = [](Options& o, const std::string& v) {
         o.exclude.push_back(v);
         return !v.empty();
       },
       .help = "leave out the music files whose name matches (as --include)",
       .scope = S::Only,
       .commands = {"tag", "review", "show"}},
      {.name = "--review",
       .apply = Flag(&Options::review),
       .help = "do as review does: look at what the run finds in a local page,\n"
       "and decide there what is written",
       .scope = S::Only,
       .commands = {"tag"}},
      {.name = "--open",
       .apply = Flag(&Options::open),
       .help = "open the review page in the desktop's browser (xdg-open)",
       .scope = S::Only,
       .commands = {"tag", "review"}},
      {.name = "--missing",
       .apply = Flag(&Options::missing),
       .help = "list only the files without lyrics, one path per line",
       .scope = S::Only,
       .commands = {"show"}},
      {.name = "--count",
       .apply = Flag(&Options::count),
       .help = "print just the numbers",
       .scope = S::Only,
       .commands = {"show"}},
      {.name = "--port",
       .placeholder = "N",
       .apply = IntegerInto(&Options::port, 0, 65535),
       .accepts = "a port from 0 (any free one) to 65535",
       .help = "the port to listen on (default 0: a free one, printed when the\nsite is up)",
       .scope = S::Only,
       .commands = {"site"}},
      {.name = "--accept",
       .placeholder = "LEVEL",
       .apply = [](Options& o, const std::string& v) { return v == "doubtful" && (o.acceptDoubtful = true); },
       .accepts = "doubtful",
       .help = "take a doubtful match too: one the host is not sure is the song\n"
               "asked for (the site's title names a version the tag does not,\n"
               "or only the letters agree); without it a doubtful match is\n"
               "reported, counted, and neither printed nor stored",
       .scope = S::Only,
       .commands = {"get", "get --batch", "song", "tag", "review"},
       .configKey = "accept",
       .shown = [](const Options& o) { return std::string(o.acceptDoubtful ? "doubtful" : "none"); }},
      {.name = "--json",
       .apply = Flag(&Options::json),
       .help = "one JSON document on stdout instead of text"},
      {.name = "--raw",
       .apply = Flag(&Options::raw),
       .help = "keep the plug-in's CR LF line ends (default: LF; not with tag\nor show)",
       .scope = S::AllBut,
       .commands = {"tag", "show"},
       .refusal = "--raw does not go with tag or show: music files hold LF line ends"},
      {.name = "--stats",
       .apply = Flag(&Options::stats),
       .help = "the download statistics on stderr at the end"},
      {.name = "--verbose",
       .apply = Flag(&Options::verbose),
       .help = "the host's dealings with the plug-in on stderr: properties set,\n"
       "\"HostIgnore\" AddHost/RemoveHost calls, the log merge, where each\n"
       "setting came from"},
      {.name = "--help",
       .alias = "-h",
       .apply = Flag(&Options::help),
       .help = "this text, or a command's own"},
      {.name = "--version",
       .apply = Flag(&Options::version),
       .help = "the host's version"},
  };
  return table;
}

const OptionSpec* FindOption(std::string_view name) {
  for (const OptionSpec& option : OptionTable()) {
    if (option.name == name || (!option.alias.empty() && option.alias == name)) return &option;
  }
  return nullptr;
}

bool Takes(const OptionSpec& option, std::string_view command) {
  const bool listed =
      std::find(option.commands.begin(), option.commands.end(), command) != option.commands.end();
  switch (option.scope) {
    case Scope::Every:
      return true;
    case Scope::Only:
      return listed;
    case Scope::AllBut:
      return !listed;
  }
  return false;
}

const std::vector<OptionGroup>& ExclusiveOptions() {
  static const std::vector<OptionGroup> groups = {
      {{"--missing", "--count", "--json"}, "--missing, --count and --json exclude each other"},
      {{"--no-cache", "--cache-dir"}, "--no-cache and --cache-dir exclude each other"},
      {{"--review", "--dry-run"},
       "--review and --dry-run exclude each other: a review writes only what is accepted"},
  };
  return groups;
}

}  // namespace host
