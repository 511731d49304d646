#include "cli/setting_sources.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/command_table.h"
#include "cli/option_table.h"
#include "os/default_paths.h"
#include "os/file_kind.h"
#include "output/text_output.h"
#include "os/utf.h"

namespace host {
namespace {

// The options that have a key in the config file.
const OptionSpec* FindKey(const std::string& key) {
  for (const OptionSpec& option : OptionTable()) {
    if (!option.configKey.empty() && option.configKey == key) return &option;
  }
  return nullptr;
}

std::string KeyNames() {
  std::string names;
  for (const OptionSpec& option : OptionTable()) {
    if (!option.configKey.empty()) names += (names.empty() ? "" : ", ") + std::string(option.configKey);
  }
  return names;
}

// Whether the command the options ask for has a use for the option.
bool CommandTakes(const Options& options, const OptionSpec& option) {
  const CommandSpec* command = FindCommand(options.command, options);
  return command != nullptr && Takes(option, command->Form());
}

bool GivenOnCommandLine(const Options& options, const OptionSpec& option) {
  return std::find(options.given.begin(), options.given.end(), option.name) !=
         options.given.end();
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

struct FileValue {
  std::string value;
  int line = 0;
};

// The file's settings, the last line of a key winning.
bool ParseConfig(const std::string& text, const std::string& name,
                 std::map<std::string, FileValue>& values, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    line = Trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t equals = line.find('=');
    const std::string key = Trimmed(line.substr(0, equals));
    const std::string where = name + ":" + std::to_string(number) + ": ";
    if (equals == std::string::npos || FindKey(key) == nullptr) {
      error = where + "not a setting (key = value; the keys: " + KeyNames() + ")";
      return false;
    }
    // A comment may follow a value after a blank: no value of these keys holds " #".
    std::string value = line.substr(equals + 1);
    if (const std::size_t comment = value.find_first_of('#');
        comment != std::string::npos && comment > 0 &&
        (value[comment - 1] == ' ' || value[comment - 1] == '\t')) {
      value.erase(comment);
    }
    // Checked for every command alike, used or not: a mistake shows on the first run, not
    // only on the run of the command that takes it. The last line of a key wins, as in most
    // tools' files.
    Options scratch;
    std::string refused;
    if (!ApplyOption(scratch, FindKey(key)->name, Trimmed(value), refused)) {
      error = where + refused;
      return false;
    }
    values[key] = FileValue{Trimmed(value), number};
  }
  return true;
}

}  // namespace

bool ApplySettingSources(Options& options, const std::string& configText,
                         const std::string& configName, const char* environmentProxy,
                         std::vector<std::string>& origins, std::string& error) {
  std::map<std::string, FileValue> file;
  if (!ParseConfig(configText, configName, file, error)) return false;
  for (const OptionSpec& key : OptionTable()) {
    if (key.configKey.empty()) continue;
    const bool given = GivenOnCommandLine(options, key);
    if (!given && !CommandTakes(options, key)) continue;
    std::string origin = "default";
    if (given) {
      origin = "command line";
    } else if (key.configKey == "proxy" && environmentProxy != nullptr &&
               environmentProxy[0] != '\0') {
      if (!ApplyOption(options, key.name, environmentProxy, error)) {
        error = "TUNEWELL_PROXY: " + error;
        return false;
      }
      origin = "TUNEWELL_PROXY";
    } else if (file.count(std::string(key.configKey)) != 0) {
      const FileValue& value = file.at(std::string(key.configKey));
      const std::string where = configName + ":" + std::to_string(value.line);
      if (!ApplyOption(options, key.name, value.value, error)) {
        error = where + ": " + error;
        return false;
      }
      origin = where;
    }
    origins.push_back(std::string(key.configKey) + " " + key.shown(options) + " (" + origin + ")");
  }
  return true;
}

bool ApplyUserSettings(Options& options, std::string& error) {
  const std::optional<std::string> file = UserConfigFile();
  std::string text;
  std::error_code ignored;
  // A FIFO or a device there would hang the read, a huge file take the memory: refused like
  // any unusable file.
  constexpr std::size_t kMaxConfigBytes = 1 << 20;
  if (file && std::filesystem::exists(PathFromUtf8(*file), ignored) &&
      !ReadSmallFile(*file, kMaxConfigBytes, text, error)) {
    error = "cannot read the config file " + PrintablePath(*file) + ": " + error;
    return false;
  }
  std::vector<std::string> origins;
  if (!ApplySettingSources(options, text, file.value_or(""), std::getenv("TUNEWELL_PROXY"),
                           origins, error)) {
    return false;
  }
  if (options.verbose) {
    for (const std::string& origin : origins) std::fprintf(stderr, "tunewell: %s\n", origin.c_str());
  }
  return true;
}

}  // namespace host
