// The commands of `tunewell`, each defined once: its name, its form (get and get --batch are
// two), its arguments, its help and the function that runs it. main dispatches through this
// table; the parser checks arguments and options against it (with cli/option_table.h); the
// help, each command's own help, and through them the completion and the manual page's check
// are made from it. A build lists only what it has (the Windows one has no tag or show).
// Read-only; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/options.h"

namespace host {

struct CommandSpec {
  std::string_view name = {};  // "get"
  // The option that chooses this form of the command ("--batch"), with the options it needs
  // beside it; empty for the command's plain form.
  std::vector<std::string_view> formOptions = {};
  // Its positional arguments as placeholders; a last one ending in "..." stands for one or more.
  std::vector<std::string_view> arguments = {};
  std::string_view help = {};  // lines, without their indentation
  // Null for help, which reads this table itself (cli/help_text.h): main runs it.
  int (*run)(const Options&) = nullptr;
  // Said when a build lacks the command (it is then left out of the help); empty when it has it.
  std::string_view missing = {};

  // "get --batch": how the help and the options' scopes name this form.
  std::string Form() const;
  // The positional arguments it needs: its placeholders' count (a form chosen by an option, or
  // PATHs that come from a list, need none of them).
  bool TakesMore() const { return !arguments.empty() && arguments.back().ends_with("..."); }
};

const std::vector<CommandSpec>& CommandTable();
// The form of the command that the options ask for (get with --batch or --out: get --batch);
// null for a name that is no command.
const CommandSpec* FindCommand(std::string_view name, const Options& options);
// Whether the name is a command of this build, or one it lacks (the message of `missing`).
const CommandSpec* FindCommandNamed(std::string_view name);

// "tag [--force] ... PATH...": the form, the options only it and a few others take, its
// arguments.
std::string Synopsis(const CommandSpec& command);

}  // namespace host
