#include "os/isolated_call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>

#include "os/posix/file_io.h"

namespace host {
namespace {

// The sanitizers reserve terabytes of address space up front: a limit on it would stop them,
// not the work, so their builds run the work without a memory limit; and their reports on the
// child's standard error are the point of those builds, so it stays open there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif

// The address space the process holds now, which the limit must leave room for.
std::uint64_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

[[noreturn]] void RunChild(const IsolationLimits& limits, const std::function<std::string()>& work,
                           int output) {
  // What a dying parser prints ("terminate called after ...") would only break into the
  // run's progress lines; the run reports the file itself.
  if (!kUnderSanitizer) {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) dup2(null, STDERR_FILENO);
  }
  if (limits.memoryBytes > 0 && !kUnderSanitizer) {
    const rlim_t cap = AddressSpaceInUse() + limits.memoryBytes;
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
  }
  const std::string result = work();
  _exit(WriteAll(output, result.data(), result.size()) ? 0 : 1);
}

// Everything the child writes, until it closes the pipe or the deadline passes.
bool ReadUntilEnd(int input, int seconds, std::string& result) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  char buffer[1 << 16];
  for (;;) {
    int waitMs = -1;
    if (seconds > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      waitMs = static_cast<int>(left.count());
    }
    pollfd ready{input, POLLIN, 0};
    const int polled = poll(&ready, 1, waitMs);
    if (polled < 0 && errno == EINTR) continue;  // Ctrl-C: the file under way is finished
    if (polled <= 0) return polled == 0 ? false : true;
    const ssize_t n = read(input, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    result.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

IsolatedEnd RunIsolated(const IsolationLimits& limits, const std::function<std::string()>& work,
                        std::string& result) {
  result.clear();
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return IsolatedEnd::NotStarted;
  const pid_t child = fork();
  if (child < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return IsolatedEnd::NotStarted;
  }
  if (child == 0) {
    close(pipeEnds[0]);
    RunChild(limits, work, pipeEnds[1]);
  }
  close(pipeEnds[1]);
  const bool ended = ReadUntilEnd(pipeEnds[0], limits.seconds, result);
  close(pipeEnds[0]);
  if (!ended) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended) return IsolatedEnd::TimedOut;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? IsolatedEnd::Returned : IsolatedEnd::Died;
}

}  // namespace host
