#include "cli/options.h"

#include <algorithm>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string_view>

#include "output/text_output.h"
#include "session/utf.h"

namespace host {
namespace {

const char* const kUsage =
    "usage: tunewell [OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  get ARTIST TITLE      find the song and print its lyrics (FindSong, then GetLyrics);\n"
    "                        when the names find no song page, other spellings are tried (a\n"
    "                        trailing \"(...)\" or \"- ...\" dropped, no \"feat. ...\", & and \"and\"\n"
    "                        swapped, accents removed: get --batch and tag too), and the one\n"
    "                        that matched is said\n"
    "  get --batch FILE --out DIR [--delay MS] [--retries N]\n"
    "                        read ARTIST<TAB>TITLE lines from FILE and write each song's lyrics\n"
    "                        to DIR/ARTIST - TITLE.txt, waiting MS milliseconds between songs\n"
    "                        (default 250); a progress bar on stderr when it is a terminal, a\n"
    "                        line per song otherwise, and a summary at the end. After failed\n"
    "                        downloads in a row the waits grow (4 x MS, at least 0.1 s,\n"
    "                        doubling up to 60 s, with jitter); --retries N tries a song whose\n"
    "                        download failed N more times (default 0, at most 10); when 5\n"
    "                        songs in a row failed and none has succeeded, the run stops:\n"
    "                        the site is not reachable (see --proxy)\n"
    "  tag [--force] [--dry-run] [--delay MS] [--retries N] [--failed FILE] [--from FILE]\n"
    "      [--lang CODE] [--sidecar] PATH...\n"
    "                        store lyrics in music files: each FILE named and every music file\n"
    "                        under each FOLDER (recursively, sorted; links to folders and\n"
    "                        hidden entries are skipped). MP3, WAV, AIFF: ID3v2 USLT; FLAC,\n"
    "                        Ogg Vorbis, Opus: Vorbis comment LYRICS; M4A/MP4: \xC2\xA9lyr.\n"
    "                        Artist and title come from the tags, else from a file name\n"
    "                        ARTIST - TITLE.ext. A file holding lyrics is skipped unless\n"
    "                        --force; --dry-run searches but writes nothing. Each file is\n"
    "                        replaced through a flushed copy, so a killed run damages none;\n"
    "                        each change is first recorded in a private journal\n"
    "                        ($XDG_STATE_HOME/tunewell, else ~/.local/state/tunewell), from\n"
    "                        which the next run puts back what a killed one left. Nothing\n"
    "                        planted in a shared folder steers a run: no other user's link\n"
    "                        is followed, and root writes only where a file's owner could.\n"
    "                        Progress, waits and retries as for get --batch; the summary\n"
    "                        counts tagged, had lyrics, not found, failed (and of these the\n"
    "                        local problems: a file or folder that could not be read or\n"
    "                        written, each on its own line). --failed FILE lists the files\n"
    "                        not found or failed, one per line; --from FILE (- for stdin)\n"
    "                        takes PATHs from such a list, so that a run can be repeated on\n"
    "                        what it could not do. --lang CODE: the language of a new ID3v2\n"
    "                        lyrics frame (default eng; a frame replaced keeps its own).\n"
    "                        --sidecar also writes the lyrics to NAME.txt beside each file\n"
    "                        tagged, for players that read them from there (a NAME.txt that\n"
    "                        tunewell did not write is kept)\n"
    "  show [--missing | --count] PATH...\n"
    "                        print the lyrics stored in music files (or say there are none);\n"
    "                        a FOLDER shows every music file under it, as tag walks it.\n"
    "                        --missing lists only the files without lyrics, one path per line;\n"
    "                        --count prints just the numbers\n"
    "  song ARTIST TITLE     print the best match as TITLE<TAB>URL (FindSong)\n"
    "  songs ARTIST          print the artist's songs, one TITLE<TAB>URL per line\n"
    "                        (FindArtistSongList)\n"
    "  artist ARTIST         print the artist page address (FindArtist)\n"
    "  lyrics URL            print the lyrics of a song page (GetLyrics)\n"
    "  info                  print the information block, SourceName, SourceId, SupportedSearch\n"
    "  site [--port N]       run the bundled local lyrics site in the foreground until Ctrl-C\n"
    "                        (default port 0: a free one, printed when the site is up)\n"
    "  demo                  start the bundled site, fetch one song through it, stop the site\n"
    "  help [COMMAND]        this text, or one command's (as COMMAND --help)\n"
    "\n"
    "Options:\n"
    "  --plugin PATH         the plug-in library (default: libtunewell.so beside this binary,\n"
    "                        else ../lib/tunewell/libtunewell.so from it)\n"
    "  --proxy HOST:PORT     the answer to \"HttpProxy\" (default: none, the system setting;\n"
    "                        not with demo, which points it at the site it starts)\n"
    "  --cache-dir DIR       \"LocalCacheFolder\", created if missing (default:\n"
    "                        $XDG_CACHE_HOME/tunewell, else ~/.cache/tunewell)\n"
    "  --no-cache            do not set \"LocalCacheFolder\"\n"
    "  --log-dir DIR         \"LogFolder\", created if missing: the plug-in's trace log\n"
    "  --trace-level NAME    \"TraceLevel\" (needs --log-dir): Error, Warning (the default),\n"
    "                        Info, Debug, Detail or Verbose. The host reads the warnings of\n"
    "                        failed downloads back to say why they failed (without --log-dir\n"
    "                        from a log of its own in the temporary folder, removed at exit)\n"
    "  --parent-log FILE     \"ParentLogfilePath\" (needs --log-dir): the log that the run's\n"
    "                        trace is appended to at exit\n"
    "  --max-difference X    the answer to \"MaxMatchDifference\" (default 1.0): the largest name\n"
    "                        distance accepted, exclusive; 0.0 is a perfect match. A space\n"
    "                        added or dropped costs 5, a digit 20, a punctuation mark 30, a\n"
    "                        letter 70, a letter changed 100; inside brackets a tenth. So 1\n"
    "                        takes only the same name (case and outer spaces aside), 50 a few\n"
    "                        spaces or a punctuation mark, 150 a wrong letter too: from 100 on\n"
    "                        a different song may be taken for the one asked (a warning says so)\n"
    "  --timeout SECONDS     answer QueryCancel with true once this much time has passed since\n"
    "                        the start: the search stops and the exit status is 1 (site: the\n"
    "                        site is stopped then). A download that cannot stop (WinHTTP\n"
    "                        waiting for an answer) is left behind a second later\n"
    "  --include GLOB, --exclude GLOB\n"
    "                        tag and show take only the music files whose name matches an\n"
    "                        --include (if any is given) and no --exclude; a GLOB holding a /\n"
    "                        is matched against the whole path. * any run, ? one character,\n"
    "                        [abc] [a-z] [!abc] one of a set. Both may be repeated\n"
    "  --json                one JSON document on stdout instead of text\n"
    "  --raw                 keep the plug-in's CR LF line ends (default: LF; not with tag\n"
    "                        or show)\n"
    "  --stats               the download statistics on stderr at the end\n"
    "  --verbose             the host's dealings with the plug-in on stderr: properties set,\n"
    "                        \"HostIgnore\" AddHost/RemoveHost calls, the log merge\n"
    "  --quiet               get --batch, tag: no progress on stderr but the lines of songs\n"
    "                        not found or failed; the summary as ever\n"
    "  -h, --help            this text\n"
    "  --version             the host's version\n"
    "  --                    end of options (for an ARTIST or TITLE that begins with -)\n"
    "\n"
    "Settings: --proxy, --delay, --max-difference and --retries may also come from the config\n"
    "file $XDG_CONFIG_HOME/tunewell/config (else ~/.config/tunewell/config), one \"key = value\"\n"
    "per line (proxy, delay, max_difference, retries), and the proxy from TUNEWELL_PROXY; the\n"
    "command line wins, then TUNEWELL_PROXY; --verbose says where each setting came from.\n"
    "\n"
    "Ctrl-C makes QueryCancel answer true: the search stops cleanly with exit status 1.\n"
    "\n"
    "Exit status:\n"
    "  get, song, songs, artist, lyrics, demo: 0 found; 1 not found, interrupted (Ctrl-C) or\n"
    "      timed out (--timeout); 3 a download failed and nothing was found\n"
    "  get --batch: 1 interrupted or timed out; else 3 when any song failed (its download, or\n"
    "      writing its file); else 1 when any was not found; else 0\n"
    "  tag: 1 interrupted or timed out; else 3 when any download failed; else 4 when any file\n"
    "      or folder met a local problem (could not be read or written, no artist and title);\n"
    "      else 1 when any song was not found; else 0 (a file that had lyrics counts as found)\n"
    "  show: 0 when every file holds lyrics, 1 otherwise\n"
    "  info: 0\n"
    "  site: 0 when Ctrl-C stops it; 1 when --timeout ends it, its port is in use, or it\n"
    "      stops by itself\n"
    "  any command: 2 a usage error (tag: also a PATH that does not exist or is not a music\n"
    "      file, each such PATH named), a plug-in that cannot be used, or (site, demo) a\n"
    "      bundled site that cannot be found or run\n";

// One option: its name, whether it takes a value, and what it does with it. A false result
// means the value is malformed; the parser then names the option and the value.
struct OptionRule {
  std::string_view name;
  bool takesValue;
  std::function<bool(Options&, const std::string&)> apply;
  std::string_view accepts = {};  // what a value may be, said when one is refused
};

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

// The rule's action for an integer option: the value, from low to high, into member.
std::function<bool(Options&, const std::string&)> IntegerInto(std::optional<int> Options::*member,
                                                              long low, long high) {
  return [member, low, high](Options& o, const std::string& v) {
    int n = 0;
    if (!ParseInteger(v, low, high, n)) return false;
    o.*member = n;
    return true;
  };
}

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

bool SetText(std::optional<std::string>& field, const std::string& value) {
  if (value.empty()) return false;
  field = value;
  return true;
}

// A folder or file the plug-in opens: it takes paths as UTF-16, so a name in bytes that are
// not UTF-8 would reach it as another name (and the host would make one folder, the plug-in
// use another).
bool SetPluginPath(std::optional<std::string>& field, const std::string& value) {
  return IsUtf8(value) && SetText(field, value);
}

constexpr std::string_view kPluginPath = "a name in UTF-8: the plug-in takes its paths as UTF-16";

const std::vector<OptionRule>& Rules() {
  static const std::vector<OptionRule> rules = {
      {"--plugin", true, [](Options& o, const std::string& v) { return SetText(o.plugin, v); }},
      {"--proxy", true,
       [](Options& o, const std::string& v) {
         if (!IsProxyText(v)) return false;
         o.proxy = v;
         return true;
       },
       "HOST:PORT, with a port from 1 to 65535"},
      {"--cache-dir", true,
       [](Options& o, const std::string& v) { return SetPluginPath(o.cacheDir, v); }, kPluginPath},
      {"--no-cache", false, [](Options& o, const std::string&) { return o.noCache = true; }},
      {"--log-dir", true,
       [](Options& o, const std::string& v) { return SetPluginPath(o.logDir, v); }, kPluginPath},
      {"--trace-level", true,
       [](Options& o, const std::string& v) {
         if (!IsTraceLevelName(v)) return false;
         o.traceLevel = v;
         return true;
       },
       "Error, Warning, Info, Debug, Detail or Verbose"},
      {"--parent-log", true,
       [](Options& o, const std::string& v) { return SetPluginPath(o.parentLog, v); }, kPluginPath},
      {"--max-difference", true,
       [](Options& o, const std::string& v) {
         double x = 0;
         if (!ParseNumber(v, x) || x < 0 || x > 3.4e38) return false;
         o.maxDifference = static_cast<float>(x);
         o.maxDifferenceGiven = true;
         return true;
       },
       "a number from 0 to 3.4e38"},
      {"--timeout", true,
       [](Options& o, const std::string& v) {
         double x = 0;
         if (!ParseNumber(v, x) || x <= 0 || x > 1e9) return false;
         o.timeoutSeconds = x;
         return true;
       },
       "seconds, more than 0 and at most 1e9"},
      {"--json", false, [](Options& o, const std::string&) { return o.json = true; }},
      {"--raw", false, [](Options& o, const std::string&) { return o.raw = true; }},
      {"--stats", false, [](Options& o, const std::string&) { return o.stats = true; }},
      {"--verbose", false, [](Options& o, const std::string&) { return o.verbose = true; }},
      {"--quiet", false, [](Options& o, const std::string&) { return o.quiet = true; }},
      {"--batch", true, [](Options& o, const std::string& v) { return SetText(o.batchFile, v); }},
      {"--out", true, [](Options& o, const std::string& v) { return SetText(o.outDir, v); }},
      {"--delay", true, IntegerInto(&Options::delayMs, 0, 3600000),
       "milliseconds from 0 to 3600000"},
      {"--retries", true, IntegerInto(&Options::retries, 0, 10), "a count from 0 to 10"},
      {"--port", true, IntegerInto(&Options::port, 0, 65535),
       "a port from 0 (any free one) to 65535"},
      {"--failed", true, [](Options& o, const std::string& v) { return SetText(o.failedList, v); }},
      {"--from", true, [](Options& o, const std::string& v) { return SetText(o.fromList, v); }},
      {"--lang", true,
       [](Options& o, const std::string& v) {
         const bool code = v.size() == 3 && std::all_of(v.begin(), v.end(), [](char c) {
                             return c >= 'a' && c <= 'z';
                           });
         return code && SetText(o.language, v);
       },
       "a language code of three lower-case letters (ISO 639-2), such as eng or deu"},
      {"--include", true,
       [](Options& o, const std::string& v) {
         o.include.push_back(v);
         return !v.empty();
       }},
      {"--exclude", true,
       [](Options& o, const std::string& v) {
         o.exclude.push_back(v);
         return !v.empty();
       }},
      {"--sidecar", false, [](Options& o, const std::string&) { return o.sidecar = true; }},
      {"--missing", false, [](Options& o, const std::string&) { return o.missing = true; }},
      {"--count", false, [](Options& o, const std::string&) { return o.count = true; }},
      {"--force", false, [](Options& o, const std::string&) { return o.force = true; }},
      {"--dry-run", false, [](Options& o, const std::string&) { return o.dryRun = true; }},
      {"--help", false, [](Options& o, const std::string&) { return o.help = true; }},
      {"-h", false, [](Options& o, const std::string&) { return o.help = true; }},
      {"--version", false, [](Options& o, const std::string&) { return o.version = true; }},
  };
  return rules;
}

bool ApplyRule(const OptionRule& rule, Options& options, const std::string& value,
               std::string& error) {
  if (rule.apply(options, value)) return true;
  error = "bad value for " + std::string(rule.name) + ": \"" + PrintablePath(value) + "\"";
  if (!rule.accepts.empty()) error += " (expected " + std::string(rule.accepts) + ")";
  return false;
}

const OptionRule* FindRule(std::string_view name) {
  for (const OptionRule& rule : Rules()) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

// The positional arguments each command takes: exactly that many, or at least that many.
struct CommandShape {
  std::string_view name;
  std::size_t arguments;
  bool orMore;
  std::string_view synopsis;
};

constexpr CommandShape kCommands[] = {
    {"get", 2, false, "get ARTIST TITLE"},
    {"song", 2, false, "song ARTIST TITLE"},
    {"songs", 1, false, "songs ARTIST"},
    {"artist", 1, false, "artist ARTIST"},
    {"lyrics", 1, false, "lyrics URL"},
    {"info", 0, false, "info"},
    {"site", 0, false, "site [--port N]"},
    {"demo", 0, false, "demo"},
    {"help", 0, true, "help [COMMAND]"},
    {"tag", 1, true,
     "tag [--force] [--dry-run] [--delay MS] [--retries N] [--failed FILE] [--from FILE] "
     "[--lang CODE] [--sidecar] PATH..."},
    {"show", 1, true, "show [--missing | --count] PATH..."},
};

const CommandShape* FindCommand(std::string_view name) {
  for (const CommandShape& shape : kCommands) {
    if (shape.name == name) return &shape;
  }
  return nullptr;
}

bool Fail(std::string& error, std::string message) {
  error = std::move(message);
  return false;
}

// Options that belong to one command, or that need another option, checked once all are read.
bool CheckCombinations(const Options& o, std::string& error) {
  const bool batch = o.batchFile.has_value();
  const bool tag = o.command == "tag";
  if ((batch || o.outDir) && o.command != "get") {
    return Fail(error, "--batch and --out belong to the get command");
  }
  if ((o.delayMs || o.retries) && o.command != "get" && !tag) {
    return Fail(error, "--delay and --retries belong to get --batch and tag");
  }
  if ((o.force || o.dryRun || o.failedList || o.fromList || o.language || o.sidecar) && !tag) {
    return Fail(error, "--force, --dry-run, --failed, --from, --lang and --sidecar belong to tag");
  }
  if (o.raw && (tag || o.command == "show")) {
    return Fail(error, "--raw does not go with tag or show: music files hold LF line ends");
  }
  if (o.quiet && !batch && !tag) return Fail(error, "--quiet belongs to get --batch and tag");
  if ((!o.include.empty() || !o.exclude.empty()) && !tag && o.command != "show") {
    return Fail(error, "--include and --exclude belong to tag and show");
  }
  if ((o.missing || o.count) && o.command != "show") {
    return Fail(error, "--missing and --count belong to show");
  }
  if (o.missing + o.count + o.json > 1) {
    return Fail(error, "--missing, --count and --json exclude each other");
  }
  if (batch != o.outDir.has_value()) return Fail(error, "--batch and --out go together");
  if ((o.delayMs || o.retries) && !batch && !tag) {
    return Fail(error, "--delay and --retries need --batch");
  }
  if (o.port && o.command != "site") return Fail(error, "--port belongs to the site command");
  if (o.noCache && o.cacheDir) return Fail(error, "--no-cache and --cache-dir exclude each other");
  if ((o.traceLevel || o.parentLog) && !o.logDir) {
    return Fail(error, "--trace-level and --parent-log need --log-dir");
  }
  if (o.proxy && o.command == "demo") {
    return Fail(error, "demo points \"HttpProxy\" at the site it starts: leave out --proxy");
  }
  return true;
}

bool CheckArguments(const Options& o, std::string& error) {
  const CommandShape* shape = FindCommand(o.command);
  if (shape == nullptr) return Fail(error, "unknown command " + o.command);
  const std::size_t wanted = o.batchFile || o.fromList ? 0 : shape->arguments;
  if (shape->orMore && o.arguments.size() >= wanted) return true;
  if (o.arguments.size() == wanted) {
    // An empty title would turn FindSong into an artist listing: that is the songs command.
    if ((o.command == "get" || o.command == "song") && wanted == 2 && o.arguments[1].empty()) {
      return Fail(error, "TITLE is empty (to list an artist's songs: tunewell songs ARTIST)");
    }
    return true;
  }
  if (o.batchFile) return Fail(error, "get --batch takes no ARTIST or TITLE");
  return Fail(error, "usage: tunewell [OPTIONS] " + std::string(shape->synopsis));
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (options.command.empty()) {
        options.command = arg;
      } else {
        options.arguments.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionRule* rule = FindRule(name);
    if (rule == nullptr) return Fail(error, "unknown option " + name);
    std::string value;
    if (eq != std::string::npos) {
      if (!rule->takesValue) return Fail(error, name + " takes no value");
      value = arg.substr(eq + 1);
    } else if (rule->takesValue) {
      if (i + 1 >= args.size()) return Fail(error, name + " needs a value");
      value = args[++i];
    }
    if (!ApplyRule(*rule, options, value, error)) return false;
  }
  if (options.help || options.version) return true;
  if (options.command.empty()) return Fail(error, "no COMMAND given");
  if (FindCommand(options.command) == nullptr)
    return Fail(error, "unknown command " + options.command);
  return CheckCombinations(options, error) && CheckArguments(options, error);
}

bool ApplyOption(Options& options, std::string_view name, const std::string& value,
                 std::string& error) {
  const OptionRule* rule = FindRule(name);
  if (rule == nullptr || !rule->takesValue) return Fail(error, "unknown option " + std::string(name));
  return ApplyRule(*rule, options, value, error);
}

const char* UsageText() { return kUsage; }

std::string CommandHelp(const std::string& command) {
  if (FindCommand(command) == nullptr || command == "help") return {};
  // The entries of the Commands section: each starts two spaces in, its continuation lines
  // further in; the one help text stays the only place a command is described.
  const std::string usage = kUsage;
  const std::size_t start = usage.find("Commands:\n") + 10, end = usage.find("\n\n", start);
  std::string entries;
  bool mine = false;
  for (std::size_t at = start; at < end;) {
    const std::size_t eol = usage.find('\n', at);
    const std::string line = usage.substr(at, eol - at + 1);
    if (line.size() > 2 && line[2] != ' ') {
      mine = line.compare(2, command.size() + 1, command + " ") == 0 ||
             line.compare(2, command.size() + 1, command + "\n") == 0;
    }
    if (mine) entries += line;
    at = eol + 1;
  }
  return "usage: tunewell [OPTIONS] " + std::string(FindCommand(command)->synopsis) + "\n\n" +
         entries + "\nThe options: tunewell --help\n";
}

}  // namespace host
