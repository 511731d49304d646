// tunewell: a command-line host for the Tunewell lyrics plug-in. It loads the plug-in as a
// host application does, configures it from the command line and runs one command.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/setting_sources.h"
#include "os/command_line.h"
#include "run/bounded_call.h"
#include "run/cancel_switch.h"
#include "run/outcome.h"

namespace {

struct CommandEntry {
  std::string_view name;
  int (*run)(const host::Options&);
};

constexpr CommandEntry kCommands[] = {
    {"info", host::RunInfoCommand},     {"get", host::RunSearchCommand},
    {"song", host::RunSearchCommand},   {"songs", host::RunSearchCommand},
    {"artist", host::RunSearchCommand}, {"lyrics", host::RunSearchCommand},
    {"site", host::RunSiteCommand},     {"demo", host::RunDemoCommand},
    {"tag", host::RunTagCommand},       {"show", host::RunShowCommand},
};

// "tunewell help [COMMAND]", "tunewell [COMMAND] --help": the help, or the command's own.
int RunHelp(const host::Options& options) {
  const bool helpCommand = options.command == "help";
  if (helpCommand && options.arguments.size() > 1) {
    std::fputs("tunewell: help takes one COMMAND\n(try tunewell --help)\n", stderr);
    return host::kExitUsage;
  }
  const std::string topic =
      helpCommand ? (options.arguments.empty() ? "" : options.arguments[0]) : options.command;
  const std::string help = host::CommandHelp(topic);
  if (help.empty() && !topic.empty()) {
    std::fprintf(stderr, "tunewell: unknown command %s\n(try tunewell --help)\n", topic.c_str());
    return host::kExitUsage;
  }
  std::fputs(help.empty() ? host::UsageText() : help.c_str(), stdout);
  return host::kExitFound;
}

}  // namespace

int main(int argc, char** argv) {
  host::Options options;
  std::string error;
  if (!host::ParseCommandLine(host::CommandLineArguments(argc, argv), options, error)) {
    std::fprintf(stderr, "tunewell: %s\n(try tunewell --help)\n", error.c_str());
    return host::kExitUsage;
  }
  if (options.help || options.command == "help") return RunHelp(options);
  if (options.version) {
    std::puts("tunewell " TUNEWELL_HOST_VERSION);
    return host::kExitFound;
  }
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
  if (options.command == "get" && options.batchFile) {
    return host::EndProcess(host::RunBatchCommand(options));
  }
  for (const CommandEntry& command : kCommands) {
    if (command.name == options.command) return host::EndProcess(command.run(options));
  }
  std::fprintf(stderr, "tunewell: unknown command %s\n", options.command.c_str());
  return host::kExitUsage;
}
