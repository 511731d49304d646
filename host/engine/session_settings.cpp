#include "engine/session_settings.h"

#include <cstdio>

#include "os/default_paths.h"
#include "os/terminal.h"
#include "session/plugin_loader.h"

namespace host {

SessionSettings SessionSettingsFrom(const Options& options) {
  SessionSettings settings;
  settings.pluginPath = options.plugin.value_or(DefaultPluginPath());
  settings.logDir = options.logDir;
  settings.traceLevel = options.traceLevel;
  settings.parentLog = options.parentLog;
  if (!options.noCache) {
    settings.cacheDirIsDefault = !options.cacheDir;
    settings.cacheDir = options.cacheDir ? options.cacheDir : UserCacheFolder();
  }
  settings.proxy = options.proxy;
  settings.maxDifference = options.maxDifference;
  settings.verboseLog = options.verbose ? stderr : nullptr;
  return settings;
}

MatchPolicy MatchPolicyFrom(const Options& options, bool lyrics) {
  return MatchPolicy{options.maxDifference, options.acceptDoubtful, lyrics};
}

RunSettings RunSettingsFrom(const Options& options) {
  return RunSettings{options.BatchDelayMs(), options.Retries(), MatchPolicyFrom(options, true),
                     stderr, RedrawsInPlace(stderr), options.quiet};
}

}  // namespace host
