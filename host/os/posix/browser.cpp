#include "os/browser.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace host {

bool OpenInBrowser(const std::string& address, std::string& error) {
  // xdg-open may stay until the browser it starts is closed: a shell puts it in the background
  // and ends at once, so nothing here waits for the browser or is left to reap. The address is
  // an argument, never part of the command text.
  const char* const argv[] = {
      "sh", "-c",
      "command -v xdg-open >/dev/null || exit 127\n"
      "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &",
      "sh", address.c_str(), nullptr};
  pid_t child = 0;
  const int failed =
      posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ);
  if (failed != 0) {
    error = std::string("cannot start /bin/sh: ") + std::strerror(failed);
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = WIFEXITED(status) && WEXITSTATUS(status) == 127
              ? "xdg-open is not installed (Debian's xdg-utils)"
              : "cannot start xdg-open";
  return false;
}

}  // namespace host
