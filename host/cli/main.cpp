// tunewell: a command-line host for the Tunewell lyrics plug-in. It loads the plug-in as a
// host application does, configures it from the command line and runs one command, found in
// the command table (cli/command_table.h).
#include <cstdio>
#include <string>

#include "cli/command_table.h"
#include "cli/help_text.h"
#include "cli/options.h"
#include "cli/setting_sources.h"
#include "engine/bounded_call.h"
#include "engine/outcome.h"
#include "os/command_line.h"
#include "session/cancel_switch.h"

namespace {

// "tunewell COMMAND --help": the command's own help.
int RunCommandHelp(const host::Options& options) {
  if (options.command.empty() || options.command == "help") {
    std::fputs(host::UsageText().c_str(), stdout);
    return host::kExitFound;
  }
  host::Options asked;
  asked.arguments = {options.command};
  return host::RunHelpCommand(asked);
}

}  // namespace

int main(int argc, char** argv) {
  host::Options options;
  std::string error;
  if (!host::ParseCommandLine(host::CommandLineArguments(argc, argv), options, error)) {
    std::fprintf(stderr, "tunewell: %s\n(try tunewell --help)\n", error.c_str());
    return host::kExitUsage;
  }
  if (options.help) return RunCommandHelp(options);
  if (options.version) {
    std::puts("tunewell " TUNEWELL_HOST_VERSION);
    return host::kExitFound;
  }
  const host::CommandSpec* command = host::FindCommand(options.command, options);
  if (command->run == nullptr) return host::RunHelpCommand(options);
  if (!host::ApplyUserSettings(options, error)) {
    std::fprintf(stderr, "tunewell: %s\n", error.c_str());
    return host::kExitUsage;
  }
  // From one letter changed on, a name that is another song's is close enough.
  if (options.maxDifference >= 100) {
    std::fprintf(stderr,
                 "tunewell: warning: --max-difference %g accepts a name with a letter changed: a "
                 "different song may be taken for the one asked\n",
                 static_cast<double>(options.maxDifference));
  }
  host::CancelSwitch::Install(options.timeoutSeconds);
  return host::EndProcess(command->run(options));
}
