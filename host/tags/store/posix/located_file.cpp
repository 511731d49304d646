#include "tags/store/posix/located_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "os/posix/safe_open.h"
#include "tags/store/file_identity.h"

namespace host {
namespace {

constexpr int kNoWait = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

std::string SystemText(int code) { return std::strerror(code); }

std::vector<std::string> Components(const std::string& walked) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= walked.size()) {
    const std::size_t slash = walked.find('/', at);
    const std::size_t end = slash == std::string::npos ? walked.size() : slash;
    if (end > at) parts.push_back(walked.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// The folder the user named, checked against the walk's finding.
bool OpenTrustedFolder(const FileLocation& where, UniqueFd& folder, std::string& error) {
  std::string path = where.path.substr(0, where.trusted);
  if (path.empty()) path = !where.path.empty() && where.path[0] == '/' ? "/" : ".";
  folder.Reset(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (!folder.Valid() || fstat(folder.Get(), &info) != 0) {
    error = "cannot open the folder: " + SystemText(errno);
    return false;
  }
  if (where.trustedInode != 0 && (info.st_dev != where.trustedDevice ||
                                  info.st_ino != where.trustedInode)) {
    error = kChangedDuringRun;  // the folder named was replaced since the walk
    return false;
  }
  return true;
}

// Down the walked folders, none of them a link.
bool OpenWalkedFolder(UniqueFd& folder, const std::string& name, std::string& error) {
  const int next = openat(folder.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW |
                                                          O_CLOEXEC);
  if (next < 0) {
    // A folder that became a link, or a file, since the walk.
    error = errno == ELOOP || errno == ENOTDIR || errno == ENOENT
                ? std::string(kChangedDuringRun)
                : "cannot open the folder: " + SystemText(errno);
    return false;
  }
  folder.Reset(next);
  return true;
}

// Where the open file really is: its folder held open, checked to hold this very file under
// the name.
bool HoldRealFolder(OpenedFile& opened, std::string& error) {
  char real[PATH_MAX];
  const std::string self = "/proc/self/fd/" + std::to_string(opened.file.Get());
  const ssize_t n = readlink(self.c_str(), real, sizeof real - 1);
  if (n <= 0 || real[0] != '/') {
    error = "cannot tell where the linked file is";
    return false;
  }
  const std::string path(real, static_cast<std::size_t>(n));
  const std::size_t slash = path.find_last_of('/');
  opened.folderPath = slash == 0 ? "/" : path.substr(0, slash);
  opened.name = path.substr(slash + 1);
  opened.folder.Reset(open(opened.folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat there {};
  if (!opened.folder.Valid() ||
      fstatat(opened.folder.Get(), opened.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
      there.st_dev != opened.info.st_dev || there.st_ino != opened.info.st_ino) {
    error = kChangedDuringRun;
    return false;
  }
  return true;
}

// The file is a symbolic link: followed when its maker could reach the target anyway.
bool OpenThroughLink(OpenedFile& opened, std::string& error) {
  struct stat link {};
  if (fstatat(opened.folder.Get(), opened.name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISLNK(link.st_mode)) {
    error = kChangedDuringRun;
    return false;
  }
  // Judged before anything is opened through it: opening a device can have effects of its own.
  struct stat target {};
  if (fstatat(opened.folder.Get(), opened.name.c_str(), &target, 0) != 0) {
    error = "cannot open the file: " + SystemText(errno);
    return false;
  }
  if (!LinkMayBeFollowed(link.st_uid, target)) {
    error = "a link made by another user to a file that is not theirs (not followed)";
    return false;
  }
  if (!S_ISREG(target.st_mode)) {
    error = "not a regular file (" + KindOf(target.st_mode) + ")";
    return false;
  }
  opened.file.Reset(openat(opened.folder.Get(), opened.name.c_str(), O_RDONLY | kNoWait));
  if (!opened.file.Valid()) {
    error = "cannot open the file: " + SystemText(errno);
    return false;
  }
  struct stat linkAfter {};
  if (fstat(opened.file.Get(), &opened.info) != 0 || opened.info.st_dev != target.st_dev ||
      opened.info.st_ino != target.st_ino ||
      fstatat(opened.folder.Get(), opened.name.c_str(), &linkAfter, AT_SYMLINK_NOFOLLOW) != 0 ||
      linkAfter.st_ino != link.st_ino) {
    error = kChangedDuringRun;  // the link was swapped while it was followed
    return false;
  }
  return HoldRealFolder(opened, error);
}

}  // namespace

bool OpenLocatedFile(const FileLocation& where, OpenedFile& opened, std::string& error) {
  opened = OpenedFile{};
  std::vector<std::string> parts =
      Components(where.path.substr(std::min(where.trusted, where.path.size())));
  if (parts.empty()) {
    error = "not a file name";
    return false;
  }
  opened.name = parts.back();
  parts.pop_back();
  if (!OpenTrustedFolder(where, opened.folder, error)) return false;
  for (const std::string& part : parts) {
    if (!OpenWalkedFolder(opened.folder, part, error)) return false;
  }
  const std::string walked = where.path.substr(0, where.path.size() - opened.name.size());
  opened.folderPath = walked.empty() ? "." : walked.substr(0, walked.size() - 1);
  if (opened.folderPath.empty()) opened.folderPath = "/";
  opened.file.Reset(openat(opened.folder.Get(), opened.name.c_str(),
                           O_RDONLY | O_NOFOLLOW | kNoWait));
  if (!opened.file.Valid() && errno == ELOOP) {
    if (!OpenThroughLink(opened, error)) return false;
  } else if (!opened.file.Valid() || fstat(opened.file.Get(), &opened.info) != 0) {
    error = "cannot open the file: " + SystemText(errno);
    return false;
  }
  if (!S_ISREG(opened.info.st_mode)) {
    error = "not a regular file (" + KindOf(opened.info.st_mode) + ")";
    return false;
  }
  const int flags = fcntl(opened.file.Get(), F_GETFL);
  if (flags >= 0) fcntl(opened.file.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return true;
}

FileLocation LocationOfFolder(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return FileLocation{path, path.size(), 0, 0};
  return FileLocation{path, path.size(), static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace host
