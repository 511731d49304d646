#include "session/private_log_folder.h"

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#include "os/file_kind.h"
#include "os/processes.h"
#include "os/utf.h"

namespace host {
namespace {

constexpr const char* kPrefix = "tunewell-log-";

// The process named in a folder's name "tunewell-log-PID-N"; 0 for any other name.
long OwnerOf(const std::string& name) {
  if (!name.starts_with(kPrefix)) return 0;
  const char* digits = name.c_str() + std::strlen(kPrefix);
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  return end != digits && *end == '-' ? pid : 0;
}

void RemoveEndedRunsFolders(const std::filesystem::path& temporary) {
  std::error_code code;
  for (std::filesystem::directory_iterator it(temporary, code), end; !code && it != end;
       it.increment(code)) {
    const long owner = OwnerOf(Utf8FromPath(it->path().filename()));
    std::error_code ignored;
    // A link is never followed: only a real folder of that name, and this user's own, goes
    // (another user's, or root's, is not this run's to remove).
    if (owner > 0 && !ProcessIsRunning(owner) &&
        it->symlink_status(ignored).type() == std::filesystem::file_type::directory &&
        IsOwnFolder(Utf8FromPath(it->path()))) {
      std::filesystem::remove_all(it->path(), ignored);
    }
  }
}

}  // namespace

bool PrivateLogFolder::Make() {
  std::error_code code;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(code);
  if (code) return false;
  RemoveEndedRunsFolders(temporary);
  // A name nobody can foresee: in a temporary folder anyone can write, a name planted
  // beforehand must not be one this run would use.
  const std::string stem = kPrefix + std::to_string(CurrentProcessId()) + "-";
  std::random_device random;
  for (int n = 0; n < 8 && path_.empty(); ++n) {
    const std::filesystem::path folder =
        temporary / (stem + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(folder, code) && !code) path_ = folder;
  }
  if (path_.empty()) return false;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace, code);
  return true;
}

void PrivateLogFolder::Remove() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  path_.clear();
}

}  // namespace host
