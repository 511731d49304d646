#include "tags/store/posix/file_metadata.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace host {
namespace {

// The names of a file's extended attributes; empty where the file system has none.
bool AttributeNames(int fd, std::vector<std::string>& names) {
  names.clear();
  ssize_t size = flistxattr(fd, nullptr, 0);
  if (size < 0) return errno == ENOTSUP;
  std::string list(static_cast<std::size_t>(size), '\0');
  size = flistxattr(fd, list.data(), list.size());
  if (size < 0) return false;  // grown meanwhile: refuse rather than miss one
  list.resize(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t end = list.find('\0', at);
    names.push_back(list.substr(at, end - at));
    at = end == std::string::npos ? list.size() : end + 1;
  }
  return true;
}

bool CopyAttribute(int from, int to, const std::string& name) {
  ssize_t size = fgetxattr(from, name.c_str(), nullptr, 0);
  if (size < 0) return false;
  std::string value(static_cast<std::size_t>(size), '\0');
  size = fgetxattr(from, name.c_str(), value.data(), value.size());
  return size >= 0 && fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(size),
                                0) == 0;
}

// The copy holds exactly the original's attributes: a new file may have been given some of
// its own (an ACL inherited from the folder's default ACL) that the original does not have.
bool CopyAttributes(int from, int to) {
  std::vector<std::string> wanted, present;
  if (!AttributeNames(from, wanted) || !AttributeNames(to, present)) return false;
  for (const std::string& name : present) {
    bool keep = false;
    for (const std::string& w : wanted) keep = keep || w == name;
    if (!keep && fremovexattr(to, name.c_str()) != 0) return false;
  }
  for (const std::string& name : wanted) {
    if (!CopyAttribute(from, to, name)) return false;
  }
  return true;
}

}  // namespace

bool CarryMetadata(int originalFd, int copyFd, const struct stat& original) {
  return fchown(copyFd, original.st_uid, original.st_gid) == 0 &&
         CopyAttributes(originalFd, copyFd) && fchmod(copyFd, original.st_mode & 07777) == 0;
}

}  // namespace host
