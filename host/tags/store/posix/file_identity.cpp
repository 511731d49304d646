#include "tags/store/file_identity.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "tags/store/posix/file_io.h"

namespace host {

FileIdentity IdentityOf(const struct stat& info) {
  const auto nanoseconds = [](const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
  };
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino),
                      static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                      nanoseconds(info.st_ctim)};
}

bool IdentifyFile(const std::string& path, FileIdentity& identity, std::string& error) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  identity = IdentityOf(info);
  return true;
}

bool StillAsRead(const std::string& path, const FileIdentity& asRead) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && IdentityOf(info) == asRead;
}

}  // namespace host
