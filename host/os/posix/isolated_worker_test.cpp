#include "os/isolated_worker.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace host {
namespace {

// The worker's requests: "echo X", "crash", "sleep", "eat" (allocates without end).
std::string Serve(const std::string& request) {
  if (request == "crash") std::abort();
  if (request == "sleep") sleep(30);
  if (request == "eat") {
    static std::vector<std::string> kept;  // kept, so that no allocation can be left out
    for (;;) kept.emplace_back(1 << 20, 'x');
  }
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
    EXPECT_EQ(worker.Call(c.request, c.limits, answer), c.end) << c.request;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << c.request;
    if (c.end == IsolatedEnd::Returned) {
      EXPECT_EQ(answer, c.request);
    }
  }
}

}  // namespace
}  // namespace host
