// The help of `tunewell`, made from the command and option tables (cli/command_table.h,
// cli/option_table.h): --help, and each command's own (`help COMMAND`, `COMMAND --help`),
// which names every option that command takes. The completion reads both. Pure; any thread.
#pragma once

#include <string>

#include "engine/options.h"

namespace host {

// The text of --help.
std::string UsageText();
// The help of one command: its synopsis (get: both forms), its entry, and every option it takes
// with its help; empty for a name that is no command of this build.
std::string CommandHelp(const std::string& command);
// `tunewell help [COMMAND]`.
int RunHelpCommand(const Options& options);

}  // namespace host
