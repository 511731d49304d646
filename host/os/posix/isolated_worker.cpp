#include "os/isolated_worker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace host {
namespace {

// The sanitizers reserve terabytes of address space up front: a limit on it would stop them,
// not the work, so their builds serve without a memory limit; and their reports on the
// worker's standard error are the point of those builds, so it stays open there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif

constexpr int kWorkerSocket = 3;  // where the worker keeps its end; every other file goes

using Clock = std::chrono::steady_clock;

// A frame: its length as 8 bytes, then its bytes.
std::string Frame(const std::string& bytes) {
  std::string frame(8, '\0');
  std::uint64_t length = bytes.size();
  std::memcpy(frame.data(), &length, sizeof length);
  return frame + bytes;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    // MSG_NOSIGNAL: a worker that died turns the write into an error, not a SIGPIPE.
    const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  return true;
}

enum class ReadEnd { Done, Ended, TimedOut, Stopped };

// How long a read may wait: until `deadline` (none when it is max()), and while `stop` (when
// set) says no, asked every kStopCheck.
struct Patience {
  Clock::time_point deadline = Clock::time_point::max();
  const std::function<bool()>* stop = nullptr;
};
constexpr std::chrono::milliseconds kStopCheck(100);

// Reads exactly `size` bytes.
ReadEnd ReadExactly(int fd, char* into, std::size_t size, const Patience& patience) {
  while (size > 0) {
    if (patience.stop != nullptr && (*patience.stop)()) return ReadEnd::Stopped;
    auto wait = patience.stop != nullptr ? kStopCheck : std::chrono::milliseconds(-1);
    if (patience.deadline != Clock::time_point::max()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(patience.deadline - Clock::now());
      if (left.count() <= 0) return ReadEnd::TimedOut;
      if (wait.count() < 0 || left < wait) wait = left;
    }
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(wait.count()));
    if (polled < 0 && errno == EINTR) continue;  // Ctrl-C: the request under way is finished
    if (polled == 0) continue;                   // the checks above end the wait
    if (polled < 0) return ReadEnd::Ended;
    const ssize_t n = read(fd, into, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadEnd::Ended;
    into += n;
    size -= static_cast<std::size_t>(n);
  }
  return ReadEnd::Done;
}

ReadEnd ReadFrame(int fd, std::string& bytes, const Patience& patience) {
  std::uint64_t length = 0;
  ReadEnd end = ReadExactly(fd, reinterpret_cast<char*>(&length), sizeof length, patience);
  if (end != ReadEnd::Done) return end;
  bytes.assign(static_cast<std::size_t>(length), '\0');
  return ReadExactly(fd, bytes.data(), bytes.size(), patience);
}

std::uint64_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Room for one request: a soft limit, which the worker may raise again for the next one.
void LimitMemory(std::uint64_t bytes) {
  if (kUnderSanitizer) return;
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = bytes == 0 ? limit.rlim_max : AddressSpaceInUse() + bytes;
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
  }
  setrlimit(RLIMIT_AS, &limit);
}

// This process's open files stay with it: a copy held here would keep their locks alive.
void KeepOnlyTheSocket(int socket) {
  dup2(socket, kWorkerSocket);
  bool closed = false;
#ifdef SYS_close_range
  closed = syscall(SYS_close_range, kWorkerSocket + 1, ~0U, 0) == 0;
#endif
  if (!closed) {
    for (int fd = kWorkerSocket + 1; fd < 65536; ++fd) close(fd);
  }
  if (!kUnderSanitizer) {
    // What a dying parser prints ("terminate called after ...") would only break into the
    // run's progress lines; the run reports the file itself.
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
}

[[noreturn]] void ServeUntilTheEnd(const IsolatedWorker::Serve& serve, int socket) {
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
  KeepOnlyTheSocket(socket);
  for (;;) {
    std::string frame;
    if (ReadFrame(kWorkerSocket, frame, Patience{}) != ReadEnd::Done || frame.size() < 8) {
      _exit(0);  // the run is over
    }
    std::uint64_t memory = 0;
    std::memcpy(&memory, frame.data(), sizeof memory);
    LimitMemory(memory);
    // Whatever the work throws (bad_alloc at the memory limit, say) must end this process
    // here: unwound further, this copy of the caller would go on running the caller's code.
    std::string answer;
    try {
      answer = serve(frame.substr(8));
    } catch (...) {
      _exit(1);
    }
    LimitMemory(0);
    if (!SendAll(kWorkerSocket, Frame(answer))) _exit(1);
  }
}

}  // namespace

IsolatedWorker::IsolatedWorker(Serve serve) : serve_(std::move(serve)) {}

IsolatedWorker::~IsolatedWorker() { Stop(false); }

bool IsolatedWorker::Start() {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    ServeUntilTheEnd(serve_, ends[1]);
  }
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    return false;
  }
  pid_ = child;
  socket_ = ends[0];
  return true;
}

void IsolatedWorker::Stop(bool kill) {
  if (pid_ == 0) return;
  if (kill) ::kill(static_cast<pid_t>(pid_), SIGKILL);
  close(socket_);  // an idle worker reads the end of its requests and leaves
  while (waitpid(static_cast<pid_t>(pid_), nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = 0;
  socket_ = -1;
}

IsolatedEnd IsolatedWorker::Call(const std::string& request, const IsolationLimits& limits,
                                 std::string& answer) {
  answer.clear();
  std::string memory(8, '\0');
  std::memcpy(memory.data(), &limits.memoryBytes, sizeof limits.memoryBytes);
  const std::string frame = Frame(memory + request);
  // A worker that died while idle is found at the send; one new one is tried.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (pid_ == 0 && !Start()) return IsolatedEnd::NotStarted;
    if (SendAll(socket_, frame)) break;
    Stop(true);
    if (attempt == 1) return IsolatedEnd::Died;
  }
  Patience patience;
  if (limits.seconds > 0) patience.deadline = Clock::now() + std::chrono::seconds(limits.seconds);
  if (limits.stop) patience.stop = &limits.stop;
  const ReadEnd end = ReadFrame(socket_, answer, patience);
  if (end == ReadEnd::Done) return IsolatedEnd::Returned;
  answer.clear();
  Stop(true);
  return end == ReadEnd::TimedOut ? IsolatedEnd::TimedOut
         : end == ReadEnd::Stopped ? IsolatedEnd::Stopped
                                   : IsolatedEnd::Died;
}

}  // namespace host
