#include "os/posix/temporary_names.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <string_view>

namespace host {
namespace {

constexpr std::string_view kMarker = ".tunewell-";
constexpr std::string_view kBackupMarker = ".tunewell-backup-";
// The original's name is cut so that a temporary name stays within NAME_MAX; a temporary copy
// is found by its pid alone, so the cut loses nothing.
constexpr std::size_t kMaxNamePart = 150;

// Digits only, within a pid's range; 0 otherwise.
long ParsePid(std::string_view digits) {
  if (digits.empty()) return 0;
  long pid = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9' || pid > INT_MAX) return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > INT_MAX ? 0 : pid;
}

}  // namespace

int MakeTemporaryFile(const std::string& folder, const std::string& name,
                      std::string& temporary) {
  temporary = folder + "/." + name.substr(0, kMaxNamePart) + std::string(kMarker) +
              std::to_string(getpid()) + "-XXXXXX";
  return mkostemp(temporary.data(), O_CLOEXEC);
}

long ProcessOfTemporaryName(const std::string& name) {
  if (name.empty() || name[0] != '.') return 0;
  const std::size_t marker = name.rfind(kMarker);
  if (marker == std::string::npos) return 0;
  const std::string_view tail = std::string_view(name).substr(marker + kMarker.size());
  const std::size_t dash = tail.find('-');  // "<pid>-XXXXXX"
  if (dash == std::string_view::npos || tail.size() - dash - 1 != 6) return 0;
  return ParsePid(tail.substr(0, dash));
}

std::string BackupNameFor(const std::string& name) {
  std::string backup = "." + name + std::string(kBackupMarker) + std::to_string(getpid());
  return backup.size() <= NAME_MAX ? backup : std::string();
}

bool ParseBackupName(const std::string& backup, std::string& original, long& pid) {
  if (backup.empty() || backup[0] != '.') return false;
  const std::size_t marker = backup.rfind(kBackupMarker);
  if (marker == std::string::npos || marker < 2) return false;
  pid = ParsePid(std::string_view(backup).substr(marker + kBackupMarker.size()));
  original = backup.substr(1, marker - 1);
  return pid > 0;
}

}  // namespace host
