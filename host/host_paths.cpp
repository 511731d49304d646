#include "host_paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace host {

std::string ExecutableFolder() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  const std::string exe(self, static_cast<std::size_t>(n));
  return exe.substr(0, exe.find_last_of('/') + 1);
}

std::optional<std::string> DefaultCacheFolder(const char* xdgCacheHome, const char* home) {
  // The XDG rules ignore a relative XDG_CACHE_HOME.
  if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/')
    return std::string(xdgCacheHome) + "/tunewell";
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.cache/tunewell";
  return std::nullopt;
}

bool FindSiteFolder(std::string& folder, std::string& error) {
  std::vector<std::string> candidates;
  if (const char* dir = std::getenv("TUNEWELL_SITE_DIR"); dir != nullptr && dir[0] != '\0') {
    candidates.push_back(dir);  // an explicit choice: no fallback behind it
  } else {
    const std::string exe = ExecutableFolder();
    if (!exe.empty()) {
      candidates.push_back(exe + "site");
      candidates.push_back(exe + "../share/tunewell/site");
    }
#ifdef TUNEWELL_SOURCE_DIR
    candidates.push_back(TUNEWELL_SOURCE_DIR "/site");
#endif
  }
  std::error_code ignored;
  for (const std::string& candidate : candidates) {
    if (std::filesystem::is_regular_file(candidate + "/server.py", ignored)) {
      folder = candidate;
      return true;
    }
  }
  error = "cannot find the bundled site (server.py) in:";
  for (const std::string& candidate : candidates) error += " " + candidate;
  error += "; set TUNEWELL_SITE_DIR to the site folder";
  return false;
}

}  // namespace host
