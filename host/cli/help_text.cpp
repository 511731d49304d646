#include "cli/help_text.h"

#include <cstdio>

#include "cli/command_table.h"
#include "cli/option_table.h"
#include "engine/outcome.h"

namespace host {
namespace {

constexpr std::size_t kTextColumn = 24;  // where the description of an entry starts

constexpr const char* kSettings =
    "Settings: --proxy, --delay, --max-difference, --retries and --accept may also come from the\n"
    "config file $XDG_CONFIG_HOME/tunewell/config (else ~/.config/tunewell/config), one\n"
    "\"key = value\" per line (proxy, delay, max_difference, retries, accept), and the proxy\n"
    "from TUNEWELL_PROXY; the command line wins, then TUNEWELL_PROXY; --verbose says where each\n"
    "setting came from.\n"
    "\n"
    "Ctrl-C makes QueryCancel answer true: the search stops cleanly with exit status 1.\n";

#ifdef _WIN32
constexpr const char* kTagExit = "";
#else
constexpr const char* kTagExit =
    "  tag: 1 interrupted or timed out; else 3 when any download failed; else 4 when any file\n"
    "      or folder met a local problem (could not be read or written, no artist and title);\n"
    "      else 1 when any song was not found; else 0 (a file that had lyrics counts as found)\n"
    "  show: 0 when every file holds lyrics, 1 otherwise\n"
    "  tag, show: 2 (as a usage error) when --include and --exclude leave no music file\n";
#endif

std::string ExitStatusText() {
  return std::string(
             "Exit status:\n"
             "  get, song, songs, artist, lyrics, demo: 0 found; 1 not found, interrupted "
             "(Ctrl-C) or\n"
             "      timed out (--timeout); 3 a download failed and nothing was found\n"
             "  get --batch: 1 interrupted or timed out; else 3 when any song failed (its "
             "download, or\n"
             "      writing its file); else 1 when any was not found; else 0\n") +
         kTagExit +
         "  info: 0\n"
         "  site: 0 when Ctrl-C stops it; 1 when --timeout ends it, its port is in use, or it\n"
         "      stops by itself\n"
         "  any command: 2 a usage error (tag: also a PATH that does not exist or is not a "
         "music\n"
         "      file, each such PATH named), a plug-in that cannot be used, or (site, demo) a\n"
         "      bundled site that cannot be found or run\n";
}

// Wraps a synopsis at the help's width after `prefix`, its continuation lines `indent` columns
// in; a bracketed part stays whole.
std::string Wrapped(const std::string& prefix, const std::string& synopsis, std::size_t indent) {
  constexpr std::size_t kWidth = 92;
  std::string text = prefix;
  std::size_t column = prefix.size();
  bool lineStart = true;
  for (std::size_t at = 0; at < synopsis.size();) {
    std::size_t end = synopsis[at] == '[' ? synopsis.find(']', at) + 1 : synopsis.find(' ', at);
    if (end == std::string::npos || end == 0 || end > synopsis.size()) end = synopsis.size();
    const std::string word = synopsis.substr(at, end - at);
    if (!lineStart && column + 1 + word.size() > kWidth) {
      text += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (!lineStart) {
      text += " ";
      ++column;
    }
    text += word;
    column += word.size();
    lineStart = false;
    at = end < synopsis.size() && synopsis[end] == ' ' ? end + 1 : end;
  }
  return text;
}

std::string WrappedSynopsis(const std::string& synopsis) { return Wrapped("  ", synopsis, 6); }

// An entry: its head ("  --delay MS" or a synopsis) and its description from column 24, on the
// head's line when the head leaves room.
std::string Entry(const std::string& head, std::string_view description) {
  std::string text = head;
  const std::size_t lastLine = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
  bool first = true;
  std::size_t at = 0;
  while (at <= description.size()) {
    std::size_t end = description.find('\n', at);
    if (end == std::string_view::npos) end = description.size();
    const std::string_view line = description.substr(at, end - at);
    if (first && text.size() - lastLine + 2 <= kTextColumn) {
      text += std::string(kTextColumn - (text.size() - lastLine), ' ');
    } else {
      text += "\n" + std::string(kTextColumn, ' ');
    }
    text += line;
    first = false;
    at = end + 1;
  }
  return text + "\n";
}

std::string OptionHead(const OptionSpec& option) {
  std::string head = "  ";
  if (!option.alias.empty()) head += std::string(option.alias) + ", ";
  head += std::string(option.name);
  if (!option.placeholder.empty()) head += " " + std::string(option.placeholder);
  return head;
}

// Which commands an option belongs to, as the last line of its entry in --help: "(tag, show)".
// (An option most commands take says in its help which ones do not.)
std::string ScopeNote(const OptionSpec& option) {
  if (option.scope != Scope::Only) return "";
  std::string names;
  for (const std::string_view command : option.commands) {
    names += (names.empty() ? "" : ", ") + std::string(command);
  }
  return " (" + names + ")";
}

std::string CommandEntries(std::string_view only) {
  std::string text;
  for (const CommandSpec& command : CommandTable()) {
    if (!command.missing.empty() || (!only.empty() && command.name != only)) continue;
    text += Entry(WrappedSynopsis(Synopsis(command)), command.help);
  }
  return text;
}

// Whether an option belongs only to commands this build lacks.
bool OnlyForMissingCommands(const OptionSpec& option) {
  if (option.scope != Scope::Only) return false;
  for (const CommandSpec& command : CommandTable()) {
    if (command.missing.empty() && Takes(option, command.Form())) return false;
  }
  return true;
}

}  // namespace

std::string UsageText() {
  std::string text = "usage: tunewell [OPTIONS] COMMAND [ARGS]\n\nCommands:\n";
  text += CommandEntries("");
  text += "\nOptions:\n";
  for (const OptionSpec& option : OptionTable()) {
    if (OnlyForMissingCommands(option)) continue;
    // The commands it belongs to close its entry, on its last line when there is room.
    std::string help(option.help);
    const std::string note = ScopeNote(option);
    const std::size_t lastLine = help.rfind('\n') == std::string::npos ? 0 : help.rfind('\n') + 1;
    text += Entry(OptionHead(option),
                  help + (help.size() - lastLine + note.size() <= 68 ? note : "\n" + note.substr(1)));
  }
  text += Entry("  --", "end of options (for an ARTIST or TITLE that begins with -)");
  return text + "\n" + kSettings + "\n" + ExitStatusText();
}

std::string CommandHelp(const std::string& name) {
  const CommandSpec* named = FindCommandNamed(name);
  if (named == nullptr || !named->missing.empty()) return {};
  std::string text;
  for (const CommandSpec& command : CommandTable()) {
    if (command.name != name) continue;
    text += Wrapped(text.empty() ? "usage: tunewell [OPTIONS] " : "       tunewell [OPTIONS] ",
                    Synopsis(command), 33) + "\n";
  }
  text += "\n" + CommandEntries(name) + "\nOptions for " + name + ":\n";
  // Its own options first, then those most commands take.
  for (const Scope scope : {Scope::Only, Scope::AllBut, Scope::Every}) {
    for (const OptionSpec& option : OptionTable()) {
      bool taken = false;
      for (const CommandSpec& command : CommandTable()) {
        taken = taken || (command.name == name && Takes(option, command.Form()));
      }
      if (option.scope == scope && taken) text += Entry(OptionHead(option), option.help);
    }
  }
  return text;
}

int RunHelpCommand(const Options& options) {
  if (options.arguments.size() > 1) {
    std::fputs("tunewell: help takes one COMMAND\n(try tunewell --help)\n", stderr);
    return kExitUsage;
  }
  const std::string topic = options.arguments.empty() ? "" : options.arguments[0];
  const std::string help = topic.empty() ? UsageText() : CommandHelp(topic);
  if (help.empty()) {
    std::fprintf(stderr, "tunewell: unknown command %s\n(try tunewell --help)\n", topic.c_str());
    return kExitUsage;
  }
  std::fputs(help.c_str(), stdout);
  return kExitFound;
}

}  // namespace host
