#include "engine/bounded_call.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <future>
#include <memory>
#include <thread>

#include "session/cancel_switch.h"

namespace host {
namespace {

// The plug-in looks at QueryCancel at least this often while it downloads, where it can.
constexpr auto kGrace = std::chrono::seconds(1);

std::atomic<bool> abandoned{false};

}  // namespace

CallEnd CallWithinDeadline(std::function<void()> call) {
  const auto deadline = CancelSwitch::Deadline();
  if (!deadline) {
    call();
    return CallEnd::Returned;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread worker([call = std::move(call), done] {
    try {
      call();
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  if (finished.wait_until(*deadline + kGrace) != std::future_status::ready) {
    worker.detach();
    abandoned = true;
    return CallEnd::Abandoned;
  }
  worker.join();
  finished.get();
  return CallEnd::Returned;
}

bool CallAbandoned() { return abandoned; }

int EndProcess(int status) {
  if (!abandoned) return status;
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace host
