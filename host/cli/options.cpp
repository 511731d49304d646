#include "cli/options.h"

#include <algorithm>

#include "cli/command_table.h"
#include "cli/option_table.h"
#include "output/text_output.h"

namespace host {
namespace {

bool Fail(std::string& error, std::string message) {
  error = std::move(message);
  return false;
}

bool ApplySpec(const OptionSpec& option, Options& options, const std::string& value,
               std::string& error) {
  if (option.apply(options, value)) return true;
  error = "bad value for " + std::string(option.name) + ": \"" + PrintablePath(value) + "\"";
  if (!option.accepts.empty()) error += " (expected " + std::string(option.accepts) + ")";
  return false;
}

bool Given(const Options& options, std::string_view name) {
  return std::find(options.given.begin(), options.given.end(), name) != options.given.end();
}

// "A", "A and B", "A, B and C".
std::string Listed(const std::vector<std::string_view>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
  }
  return text;
}

// Every option given must be one the command takes, with the options it needs, and none of a
// group that excludes each other with another given.
bool CheckOptions(const Options& options, const CommandSpec& command, std::string& error) {
  for (const std::string& name : options.given) {
    const OptionSpec& option = *FindOption(name);
    if (!Takes(option, command.Form())) {
      if (!option.refusal.empty()) return Fail(error, std::string(option.refusal));
      return Fail(error, name + " belongs to " + Listed(option.commands));
    }
    if (!option.needs.empty() && !Given(options, option.needs)) {
      return Fail(error, name + " needs " + std::string(option.needs));
    }
  }
  if (!command.formOptions.empty()) {
    for (const std::string_view name : command.formOptions) {
      if (!Given(options, name)) {
        return Fail(error, Listed(command.formOptions) + " go together");
      }
    }
  }
  for (const OptionGroup& group : ExclusiveOptions()) {
    const auto given = std::count_if(group.names.begin(), group.names.end(),
                                     [&](std::string_view name) { return Given(options, name); });
    if (given > 1) return Fail(error, std::string(group.message));
  }
  return true;
}

bool CheckArguments(const Options& o, const CommandSpec& command, std::string& error) {
  const auto optional = [](std::string_view a) { return a.starts_with("["); };
  const std::size_t required =
      o.fromList ? 0
                 : static_cast<std::size_t>(std::count_if(
                       command.arguments.begin(), command.arguments.end(),
                       [&](std::string_view a) { return !optional(a); }));
  const bool fits = command.TakesMore() ? o.arguments.size() >= required
                                        : o.arguments.size() >= required &&
                                              o.arguments.size() <= command.arguments.size();
  if (!fits) {
    // A form chosen by an option takes no arguments where the plain form does: say which.
    const CommandSpec* plain = FindCommandNamed(command.name);
    if (!command.formOptions.empty() && plain != &command && !plain->arguments.empty()) {
      std::string names;
      for (const std::string_view a : plain->arguments) {
        names += (names.empty() ? "" : " or ") + std::string(a);
      }
      return Fail(error, command.Form() + " takes no " + names);
    }
    return Fail(error, "usage: tunewell [OPTIONS] " + Synopsis(command));
  }
  // An empty title would turn FindSong into an artist listing: that is the songs command.
  if (command.arguments.size() == 2 && command.arguments[1] == "TITLE" &&
      o.arguments.size() == 2 && o.arguments[1].empty()) {
    return Fail(error, "TITLE is empty (to list an artist's songs: tunewell songs ARTIST)");
  }
  return true;
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
    const OptionSpec* option = FindOption(name);
    if (option == nullptr) return Fail(error, "unknown option " + name);
    std::string value;
    if (eq != std::string::npos) {
      if (option->placeholder.empty()) return Fail(error, name + " takes no value");
      value = arg.substr(eq + 1);
    } else if (!option->placeholder.empty()) {
      if (i + 1 >= args.size()) return Fail(error, name + " needs a value");
      value = args[++i];
    }
    if (!ApplySpec(*option, options, value, error)) return false;
    if (!Given(options, option->name)) options.given.emplace_back(option->name);
  }
  if (options.help || options.version) return true;
  if (options.command.empty()) return Fail(error, "no COMMAND given");
  const CommandSpec* command = FindCommand(options.command, options);
  if (command == nullptr) return Fail(error, "unknown command " + options.command);
  return CheckOptions(options, *command, error) && CheckArguments(options, *command, error);
}

bool ApplyOption(Options& options, std::string_view name, const std::string& value,
                 std::string& error) {
  const OptionSpec* option = FindOption(name);
  if (option == nullptr || option->placeholder.empty()) {
    return Fail(error, "unknown option " + std::string(name));
  }
  return ApplySpec(*option, options, value, error);
}

}  // namespace host
