#include "cli/setting_sources.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "os/default_paths.h"
#include "os/file_kind.h"
#include "output/text_output.h"
#include "session/utf.h"

namespace host {
namespace {

bool BatchOrTag(const Options& o) { return o.batchFile.has_value() || o.command == "tag"; }

struct SettingKey {
  std::string_view key;
  std::string_view option;
  bool (*takes)(const Options&);  // whether the command has a use for it
  bool (*given)(const Options&);  // set on the command line
  std::string (*shown)(const Options&);
};

const SettingKey kKeys[] = {
    {"proxy", "--proxy", [](const Options& o) { return o.command != "demo"; },
     [](const Options& o) { return o.proxy.has_value(); },
     [](const Options& o) { return o.proxy.value_or("none (the system's setting)"); }},
    {"delay", "--delay", BatchOrTag, [](const Options& o) { return o.delayMs.has_value(); },
     [](const Options& o) { return std::to_string(o.BatchDelayMs()) + " ms"; }},
    {"max_difference", "--max-difference", [](const Options&) { return true; },
     [](const Options& o) { return o.maxDifferenceGiven; },
     [](const Options& o) {
       std::ostringstream text;
       text << o.maxDifference;
       return text.str();
     }},
    {"retries", "--retries", BatchOrTag, [](const Options& o) { return o.retries.has_value(); },
     [](const Options& o) { return std::to_string(o.Retries()); }},
};

const SettingKey* FindKey(const std::string& key) {
  for (const SettingKey& k : kKeys) {
    if (k.key == key) return &k;
  }
  return nullptr;
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
      error = where + "not a setting (key = value; the keys: proxy, delay, max_difference, "
                      "retries)";
      return false;
    }
    values[key] = FileValue{Trimmed(line.substr(equals + 1)), number};
  }
  return true;
}

}  // namespace

bool ApplySettingSources(Options& options, const std::string& configText,
                         const std::string& configName, const char* environmentProxy,
                         std::vector<std::string>& origins, std::string& error) {
  std::map<std::string, FileValue> file;
  if (!ParseConfig(configText, configName, file, error)) return false;
  for (const SettingKey& key : kKeys) {
    if (!key.given(options) && !key.takes(options)) continue;
    std::string origin = "default";
    if (key.given(options)) {
      origin = "command line";
    } else if (key.key == "proxy" && environmentProxy != nullptr && environmentProxy[0] != '\0') {
      if (!ApplyOption(options, key.option, environmentProxy, error)) {
        error = "TUNEWELL_PROXY: " + error;
        return false;
      }
      origin = "TUNEWELL_PROXY";
    } else if (file.count(std::string(key.key)) != 0) {
      const FileValue& value = file.at(std::string(key.key));
      const std::string where = configName + ":" + std::to_string(value.line);
      if (!ApplyOption(options, key.option, value.value, error)) {
        error = where + ": " + error;
        return false;
      }
      origin = where;
    }
    origins.push_back(std::string(key.key) + " " + key.shown(options) + " (" + origin + ")");
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
