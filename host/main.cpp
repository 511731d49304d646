// tunewell: a command-line host for the Tunewell lyrics plug-in.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "plugin_loader.h"
#include "utf.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: tunewell [OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "  info                  print the plug-in's information block, SourceName, SourceId and\n"
    "                        SupportedSearch\n"
    "\n"
    "  --plugin PATH         the plug-in library (default: libtunewell.so beside this binary)\n"
    "  -h, --help            this text\n"
    "  --version             the host's version\n";

struct Options {
  std::string plugin = host::DefaultPluginPath();
  std::string command;
  std::vector<std::string> arguments;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tunewell: %s\n(try tunewell --help)\n", message.c_str());
  return kExitUsage;
}

int RunInfo(const Options& options) {
  host::PluginLibrary library;
  std::string error;
  if (!library.Load(options.plugin, error)) {
    std::fprintf(stderr, "tunewell: %s\n", error.c_str());
    return kExitUsage;
  }
  for (const auto& [key, value] : library.Info()) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
  }
  std::unique_ptr<CLyricsDllInterface> plugin(library.CreateObject());
  if (!plugin) {
    std::fprintf(stderr, "tunewell: %s: GetDllInterface returned no object\n",
                 options.plugin.c_str());
    return kExitUsage;
  }
  WString text;
  if (plugin->GetProperty(u"SourceName", &text)) std::printf("SourceName=%s\n", host::ToUtf8(text).c_str());
  text.clear();
  if (plugin->GetProperty(u"SourceId", &text)) std::printf("SourceId=%s\n", host::ToUtf8(text).c_str());
  std::int32_t number = 0;
  if (plugin->GetProperty(u"SupportedSearch", &number)) std::printf("SupportedSearch=%d\n", number);
  plugin.reset();
  library.Unload();
  return kExitFound;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return kExitFound;
    }
    if (arg == "--version") {
      std::puts("tunewell 2.1.2000.0");
      return kExitFound;
    }
    if (arg == "--plugin") {
      if (++i >= argc) return UsageError("--plugin needs a PATH");
      options.plugin = argv[i];
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (options.command.empty()) {
      options.command = arg;
    } else {
      options.arguments.push_back(arg);
    }
  }
  if (options.command.empty()) return UsageError("no COMMAND given");
  if (options.command == "info") {
    if (!options.arguments.empty()) return UsageError("info takes no arguments");
    return RunInfo(options);
  }
  return UsageError("unknown command " + options.command);
}
