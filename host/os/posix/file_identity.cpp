#include "os/file_identity.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace host {

bool IdentifyFile(const std::string& path, FileIdentity& identity, std::string& error) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  const auto nanoseconds = [](const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
  };
  identity = FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                          static_cast<std::uint64_t>(info.st_ino),
                          static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                          nanoseconds(info.st_ctim)};
  return true;
}

}  // namespace host
