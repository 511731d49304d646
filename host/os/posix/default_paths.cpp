#include "os/default_paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace host {

std::string ExecutableFolder() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  const std::string exe(self, static_cast<std::size_t>(n));
  return exe.substr(0, exe.find_last_of('/') + 1);
}

std::vector<std::string> PluginCandidates(const std::string& exeFolder) {
  if (exeFolder.empty()) return {};
  return {exeFolder + "libtunewell.so", exeFolder + "../lib/tunewell/libtunewell.so"};
}

std::optional<std::string> UserCacheFolder() {
  return DefaultCacheFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
}

std::optional<std::string> UserConfigFile() {
  return DefaultConfigFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

}  // namespace host
