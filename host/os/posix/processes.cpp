#include "os/processes.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace host {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

bool ProcessIsRunning(long pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace host
