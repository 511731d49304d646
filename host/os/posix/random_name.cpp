#include "os/posix/random_name.h"

#include <fcntl.h>
#include <sys/random.h>

#include <cerrno>
#include <climits>

namespace host {

std::string RandomNamePart() {
  static const char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[16];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // never on a kernel of this century; the name is still tried with O_EXCL
    got += static_cast<std::size_t>(n);
  }
  std::string part;
  for (const unsigned char byte : bytes) part += kLetters[byte % 62];
  return part;
}

int CreateNewFileIn(int folder, const std::string& prefix, mode_t mode, std::string& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = prefix + RandomNamePart();
    if (name.size() > NAME_MAX) {
      errno = ENAMETOOLONG;
      return -1;
    }
    const int fd = openat(folder, name.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace host
