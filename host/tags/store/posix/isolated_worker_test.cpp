#include "tags/store/isolated_worker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <cstdlib>
#include <string>
#include <vector>

#include "tags/store/posix/worker_confinement.h"

namespace host {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kFiltered = false;  // the sanitizer builds leave the system-call filter out
#else
constexpr bool kFiltered = true;
#endif

// What the worker may still do: open a file by its name, or find one of the host's files.
std::string Reach() {
  const int named = open("/etc/hostname", O_RDONLY);
  if (named >= 0) close(named);  // where nothing filters it, it must not count as inherited
  int inherited = 0;
  for (int fd = 4; fd < 256; ++fd) inherited += fcntl(fd, F_GETFD) >= 0 ? 1 : 0;
  struct stat in {}, out {};
  const bool nulls = fstat(0, &in) == 0 && fstat(1, &out) == 0 && in.st_rdev == makedev(1, 3) &&
                     out.st_rdev == makedev(1, 3);
  return std::string(named >= 0 ? "opened" : "refused") + " inherited " +
         std::to_string(inherited) + (nulls ? " null" : " terminal") + " uid " +
         std::to_string(getuid());
}

// The worker's requests: "echo X", "crash", "sleep", "eat" (allocates without end), "reach",
// "read" (the handed file's first bytes).
std::string Serve(const std::string& request, std::vector<int>& files) {
  if (request == "crash") std::abort();
  if (request == "sleep") sleep(30);
  if (request == "eat") {
    static std::vector<std::string> kept;  // kept, so that no allocation can be left out
    for (;;) kept.emplace_back(1 << 20, 'x');
  }
  if (request == "reach") return Reach();
  if (request == "pid") return std::to_string(getpid());
  if (request == "read" && files.size() == 1) {
    char bytes[16] = {};
    const ssize_t n = pread(files[0], bytes, sizeof bytes - 1, 0);
    close(files[0]);
    return n > 0 ? bytes : "";
  }
  for (const int fd : files) close(fd);
  return request;
}

TEST(IsolatedWorker, ACrashAHangOrAStopCostsOneRequest) {
  using Clock = std::chrono::steady_clock;
  const auto stopAtOnce = [] { return true; };
  struct Case {
    const char* request;
    IsolationLimits limits;
    IsolatedEnd end;
  };
  const Case cases[] = {
      {"echo 1", {0, 0, nullptr}, IsolatedEnd::Returned},
      {"crash", {0, 0, nullptr}, IsolatedEnd::Died},
      {"sleep", {0, 1, nullptr}, IsolatedEnd::TimedOut},
      {"sleep", {0, 0, stopAtOnce}, IsolatedEnd::Stopped},
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
      {"eat", {64u << 20, 20, nullptr}, IsolatedEnd::Died},  // the memory limit
#endif
      {"echo 2", {0, 0, nullptr}, IsolatedEnd::Returned},  // a new worker after each
  };
  IsolatedWorker worker(Serve);
  for (const Case& c : cases) {
    std::string answer;
    const auto start = Clock::now();
    EXPECT_EQ(worker.Call(c.request, {}, c.limits, answer), c.end) << c.request;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << c.request;
    if (c.end == IsolatedEnd::Returned) {
      EXPECT_EQ(answer, c.request);
    }
  }
}

// A bug a hostile file reaches in the worker gets nothing of the run's: it reads the file it
// was handed, opens nothing by name, holds none of the host's files (the terminal included),
// and is no longer root.
TEST(IsolatedWorker, TheWorkerKeepsOnlyWhatItIsHanded) {
  IsolatedWorker worker(Serve);
  const int file = open("/proc/self/exe", O_RDONLY);  // an ELF file: "\x7f" "ELF"
  const int held = open("/dev/null", O_RDONLY);       // one of the host's own, not handed
  std::string answer;
  ASSERT_EQ(worker.Call("read", {file}, {}, answer), IsolatedEnd::Returned);
  EXPECT_EQ(answer.substr(0, 4), "\x7f" "ELF");
  ASSERT_EQ(worker.Call("reach", {}, {}, answer), IsolatedEnd::Returned);
  const std::string uid = std::to_string(geteuid() == 0 ? kWorkerUser : getuid());
  EXPECT_EQ(answer, std::string(kFiltered ? "refused" : "opened") + " inherited 0 null uid " + uid);
  close(file);
  close(held);
}

// A worker whose host is killed ends with it.
TEST(IsolatedWorker, TheWorkerDiesWithItsHost) {
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t host = fork();
  if (host == 0) {
    IsolatedWorker worker(Serve);
    std::string pid;
    worker.Call("pid", {}, {}, pid);
    write(channel[1], pid.data(), pid.size());
    worker.Call("sleep", {}, {}, pid);
    _exit(0);
  }
  char text[32] = {};
  ASSERT_GT(read(channel[0], text, sizeof text - 1), 0);
  const pid_t worker = std::atoi(text);
  kill(host, SIGKILL);
  waitpid(host, nullptr, 0);
  // Gone, or a zombie waiting for whoever reaps orphans here.
  const auto ended = [&] {
    std::ifstream stat("/proc/" + std::to_string(worker) + "/stat");
    std::string pid, name, state;
    return !(stat >> pid >> name >> state) || state == "Z";
  };
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    gone = ended();
    if (!gone) usleep(10000);
  }
  EXPECT_TRUE(gone);
  close(channel[0]);
  close(channel[1]);
}

}  // namespace
}  // namespace host
