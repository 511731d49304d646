#include "os/default_paths.h"

#include <cstdlib>
#include <filesystem>

#include "os/utf.h"

namespace host {

std::vector<std::string> SiteCandidates(const std::string& exeFolder, const char* siteDirVariable) {
  if (siteDirVariable != nullptr && siteDirVariable[0] != '\0') {
    return {siteDirVariable};  // an explicit choice: no fallback behind it
  }
  if (exeFolder.empty()) return {};
  return {exeFolder + "site", exeFolder + "../share/tunewell/site"};
}

std::optional<std::string> DefaultCacheFolder(const char* xdgCacheHome, const char* home) {
  // The XDG rules ignore a relative XDG_CACHE_HOME.
  if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/')
    return std::string(xdgCacheHome) + "/tunewell";
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.cache/tunewell";
  return std::nullopt;
}

std::optional<std::string> DefaultStateFolder(const char* xdgStateHome, const char* home,
                                              std::string& anchor) {
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
    anchor = xdgStateHome;
    return anchor + "/tunewell";
  }
  if (home == nullptr || home[0] == '\0') return std::nullopt;
  anchor = home;
  return anchor + "/.local/state/tunewell";
}

std::optional<std::string> DefaultConfigFile(const char* xdgConfigHome, const char* home) {
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    return std::string(xdgConfigHome) + "/tunewell/config";
  }
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/tunewell/config";
  return std::nullopt;
}

bool FindSiteFolder(std::string& folder, std::string& error) {
  const std::vector<std::string> candidates =
      SiteCandidates(ExecutableFolder(), std::getenv("TUNEWELL_SITE_DIR"));
  std::error_code ignored;
  for (const std::string& candidate : candidates) {
    if (std::filesystem::is_regular_file(PathFromUtf8(candidate + "/server.py"), ignored)) {
      // A plain path, so that messages name the folder a person would type.
      folder = Utf8FromPath(PathFromUtf8(candidate).lexically_normal());
      return true;
    }
  }
  error = "cannot find the bundled site (server.py) in:";
  for (const std::string& candidate : candidates) error += " " + candidate;
  error += "; set TUNEWELL_SITE_DIR to the site folder";
  return false;
}

}  // namespace host
