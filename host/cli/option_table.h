// Every option of `tunewell`, each defined once: its names, its value and what a value may be,
// what it does to the Options, its help, the commands that take it, and its key in the config
// file. The parser (cli/options.h), the help (cli/help_text.h), the config file
// (cli/setting_sources.h) and, through the help, the completion and the manual page's check all
// read this table, so an option is added here and nowhere else in the command line.
// Read-only after the first call; any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/options.h"

namespace host {

// Which commands take an option. A command is named as the help names it: "get", "get --batch"
// (the batch form of get), "tag", ...
enum class Scope {
  Every,  // every command
  Only,   // only the commands listed (shown in their synopses)
  AllBut  // every command but those listed
};

struct OptionSpec {
  std::string_view name = {};         // "--delay"
  std::string_view alias = {};        // "-h"; empty for none
  std::string_view placeholder = {};  // "MS"; empty for an option without a value
  // What it does with its value; false for a malformed one.
  std::function<bool(Options&, const std::string&)> apply = {};
  std::string_view accepts = {};  // what a value may be, said when one is refused
  std::string_view help = {};     // lines of help, without their indentation
  Scope scope = Scope::Every;
  std::vector<std::string_view> commands = {};  // for Only and AllBut
  // Said when a command that does not take it is given it; empty: "--x belongs to A and B".
  std::string_view refusal = {};
  std::string_view needs = {};      // another option it needs ("--log-dir"); empty for none
  std::string_view configKey = {};  // its key in the config file; empty for none
  // Its value as a --verbose line shows it (for the config file's keys).
  std::function<std::string(const Options&)> shown = {};
};

const std::vector<OptionSpec>& OptionTable();
// The option of that name or alias; null for none.
const OptionSpec* FindOption(std::string_view name);
// Whether the command (as the help names it: "get --batch") takes the option.
bool Takes(const OptionSpec& option, std::string_view command);

// Options that must not be given together, and options that must be given together.
struct OptionGroup {
  std::vector<std::string_view> names;
  std::string_view message;
};
const std::vector<OptionGroup>& ExclusiveOptions();

}  // namespace host
