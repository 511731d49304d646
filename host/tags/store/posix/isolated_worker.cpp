#include "tags/store/isolated_worker.h"

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

#include "tags/store/posix/worker_confinement.h"

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
constexpr std::uint64_t kMaxFrameBytes = 64ull << 20;

using Clock = std::chrono::steady_clock;

// A frame: its length as 8 bytes, then its bytes.
std::string Frame(const std::string& bytes) {
  std::string frame(8, '\0');
  std::uint64_t length = bytes.size();
  std::memcpy(frame.data(), &length, sizeof length);
  return frame + bytes;
}

// The descriptors travel with the first byte (SCM_RIGHTS); the rest follows plainly.
bool SendAll(int fd, const std::string& bytes, const std::vector<int>& files = {}) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    iovec part{const_cast<char*>(bytes.data() + at), bytes.size() - at};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * IsolatedWorker::kMaxHandedFiles)];
    if (at == 0 && !files.empty()) {
      message.msg_control = control;
      message.msg_controllen = CMSG_SPACE(sizeof(int) * files.size());
      cmsghdr* header = CMSG_FIRSTHDR(&message);
      header->cmsg_level = SOL_SOCKET;
      header->cmsg_type = SCM_RIGHTS;
      header->cmsg_len = CMSG_LEN(sizeof(int) * files.size());
      std::memcpy(CMSG_DATA(header), files.data(), sizeof(int) * files.size());
    }
    // MSG_NOSIGNAL: a worker that died turns the write into an error, not a SIGPIPE.
    const ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads what is there into `into`, keeping any descriptors that came with it.
ssize_t Receive(int fd, char* into, std::size_t size, std::vector<int>* files) {
  iovec part{into, size};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * IsolatedWorker::kMaxHandedFiles)];
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
  for (cmsghdr* header = n > 0 ? CMSG_FIRSTHDR(&message) : nullptr; header != nullptr;
       header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
    const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int handed = -1;
      std::memcpy(&handed, CMSG_DATA(header) + i * sizeof(int), sizeof handed);
      if (files != nullptr) {
        files->push_back(handed);
      } else {
        close(handed);  // descriptors nobody asked for are not kept
      }
    }
  }
  return n;
}

enum class ReadEnd { Done, Ended, TimedOut, Stopped };

// How long a read may wait: until `deadline` (none when it is max()), and while `stop` (when
// set) says no, asked every kStopCheck.
struct Patience {
  Clock::time_point deadline = Clock::time_point::max();
  const std::function<bool()>* stop = nullptr;
};
constexpr std::chrono::milliseconds kStopCheck(100);

// Reads exactly `size` bytes; descriptors that come with them go to `files` (closed when null).
ReadEnd ReadExactly(int fd, char* into, std::size_t size, const Patience& patience,
                    std::vector<int>* files = nullptr) {
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
    const ssize_t n = Receive(fd, into, size, files);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadEnd::Ended;
    into += n;
    size -= static_cast<std::size_t>(n);
  }
  return ReadEnd::Done;
}

ReadEnd ReadFrame(int fd, std::string& bytes, const Patience& patience,
                  std::vector<int>* files = nullptr) {
  std::uint64_t length = 0;
  ReadEnd end =
      ReadExactly(fd, reinterpret_cast<char*>(&length), sizeof length, patience, files);
  if (end != ReadEnd::Done) return end;
  // A length no request or answer comes near is a broken stream, not a reason to allocate.
  if (length > kMaxFrameBytes) return ReadEnd::Ended;
  bytes.assign(static_cast<std::size_t>(length), '\0');
  return ReadExactly(fd, bytes.data(), bytes.size(), patience);
}

std::uint64_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// The worker's own size when it starts: measured before its filter shuts /proc away.
std::uint64_t baseAddressSpace = 0;

// Room for one request: a soft limit, which the worker may raise again for the next one.
void LimitMemory(std::uint64_t bytes) {
  if (kUnderSanitizer) return;
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = bytes == 0 ? limit.rlim_max : baseAddressSpace + bytes;
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
  // The terminal and the run's output are the run's: the worker reads and prints nothing. What
  // a dying parser prints ("terminate called after ...") would only break into the run's
  // progress lines (the run reports the file itself); the sanitizer builds keep its reports.
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    if (!kUnderSanitizer) dup2(null, STDERR_FILENO);
    close(null);
  }
}

[[noreturn]] void ServeUntilTheEnd(const IsolatedWorker::Serve& serve, int socket, pid_t host) {
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
  KeepOnlyTheSocket(socket);
  baseAddressSpace = AddressSpaceInUse();
  if (!ConfineWorker(host, kUnderSanitizer)) _exit(1);
  for (;;) {
    std::string frame;
    std::vector<int> files;
    if (ReadFrame(kWorkerSocket, frame, Patience{}, &files) != ReadEnd::Done ||
        frame.size() < 8) {
      _exit(0);  // the run is over
    }
    std::uint64_t memory = 0;
    std::memcpy(&memory, frame.data(), sizeof memory);
    LimitMemory(memory);
    // Whatever the work throws (bad_alloc at the memory limit, say) must end this process
    // here: unwound further, this copy of the caller would go on running the caller's code.
    std::string answer;
    try {
      answer = serve(frame.substr(8), files);
    } catch (...) {
      _exit(1);
    }
    LimitMemory(0);
    if (!SendAll(kWorkerSocket, Frame(answer))) _exit(1);
  }
}

}  // namespace

struct IsolatedWorker::Process {
  pid_t pid = 0;
  int socket = -1;  // this side of the worker's socket
};

IsolatedWorker::IsolatedWorker(Serve serve) : serve_(std::move(serve)) {}

IsolatedWorker::~IsolatedWorker() { Stop(false); }

bool IsolatedWorker::Start() {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const pid_t host = getpid();
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    ServeUntilTheEnd(serve_, ends[1], host);
  }
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    return false;
  }
  process_ = std::make_unique<Process>(Process{child, ends[0]});
  return true;
}

void IsolatedWorker::Stop(bool kill) {
  if (!process_) return;
  if (kill) ::kill(process_->pid, SIGKILL);
  close(process_->socket);  // an idle worker reads the end of its requests and leaves
  while (waitpid(process_->pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  process_.reset();
}

IsolatedEnd IsolatedWorker::Call(const std::string& request, const std::vector<int>& files,
                                 const IsolationLimits& limits, std::string& answer) {
  answer.clear();
  std::string memory(8, '\0');
  std::memcpy(memory.data(), &limits.memoryBytes, sizeof limits.memoryBytes);
  const std::string frame = Frame(memory + request);
  // A worker that died while idle is found at the send; one new one is tried.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!process_ && !Start()) {
      answer = std::strerror(errno);
      return IsolatedEnd::NotStarted;
    }
    if (files.size() <= kMaxHandedFiles && SendAll(process_->socket, frame, files)) break;
    Stop(true);
    if (attempt == 1) return IsolatedEnd::Died;
  }
  Patience patience;
  if (limits.seconds > 0) patience.deadline = Clock::now() + std::chrono::seconds(limits.seconds);
  if (limits.stop) patience.stop = &limits.stop;
  const ReadEnd end = ReadFrame(process_->socket, answer, patience);
  if (end == ReadEnd::Done) return IsolatedEnd::Returned;
  answer.clear();
  Stop(true);
  return end == ReadEnd::TimedOut ? IsolatedEnd::TimedOut
         : end == ReadEnd::Stopped ? IsolatedEnd::Stopped
                                   : IsolatedEnd::Died;
}

}  // namespace host
