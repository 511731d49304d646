#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <map>

#include "cli/command_table.h"
#include "cli/option_table.h"
#include "cli/options.h"

namespace host {
namespace {

// A value each placeholder takes.
const std::map<std::string_view, std::string> kSample = {
    {"MS", "5"},     {"N", "1"},         {"X", "2"},    {"SECONDS", "3"}, {"HOST:PORT", "h:1"},
    {"CODE", "eng"}, {"NAME", "Warning"}, {"LEVEL", "doubtful"}, {"GLOB", "*"}, {"FILE", "f"},   {"PATH", "p"},
    {"DIR", "d"},    {"ARTIST", "A"},     {"TITLE", "B"}, {"URL", "u"},   {"PATH...", "p"}};

// The command line that gives the command (its form's options and its arguments) and one
// option, with the option it needs.
std::vector<std::string> LineWith(const CommandSpec& command, const OptionSpec& option) {
  std::vector<std::string> line = {std::string(command.name)};
  for (const std::string_view form : command.formOptions) {
    if (form != option.name) line.insert(line.end(), {std::string(form), "x"});
  }
  line.emplace_back(option.name);
  if (!option.placeholder.empty()) line.push_back(kSample.at(option.placeholder));
  if (!option.needs.empty()) line.insert(line.end(), {std::string(option.needs), "d"});
  for (const std::string_view argument : command.arguments) {
    if (!argument.starts_with("[")) line.push_back(kSample.at(argument));
  }
  return line;
}

// What a command's help says it takes is what the parser takes from it, option by option (for
// get, from either of its forms), and what the completion offers (tests/install/
// test_completion.py holds the completion to this help).
TEST(HelpText, EachCommandsHelpNamesExactlyTheOptionsItTakes) {
  for (const CommandSpec& named : CommandTable()) {
    if (!named.missing.empty() || FindCommandNamed(named.name) != &named) continue;
    const std::string help = CommandHelp(std::string(named.name));
    const std::string listed = help.substr(help.find("\nOptions for ")) + "\n";
    for (const OptionSpec& option : OptionTable()) {
      if (option.name == "--help" || option.name == "--version") continue;
      bool taken = false;
      for (const CommandSpec& form : CommandTable()) {
        Options parsed;
        std::string error;
        taken = taken || (form.name == named.name && form.name != "help" &&
                          ParseCommandLine(LineWith(form, option), parsed, error));
      }
      const std::string entry = "\n  " + std::string(option.name);
      const bool inHelp = listed.find(entry + " ") != std::string::npos ||
                          listed.find(entry + "\n") != std::string::npos;
      if (named.name != "help") {
        EXPECT_EQ(inHelp, taken) << named.name << " " << option.name;
      }
    }
  }
}

}  // namespace
}  // namespace host
