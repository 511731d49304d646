#include "engine/bounded_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "session/cancel_switch.h"

namespace host {
namespace {

// Under --timeout a call that does not return, whatever the cancel says (a download the
// plug-in cannot leave), is left behind a grace after the deadline: the host goes on as timed
// out. A call that returns is waited for, and what it throws comes through; without a
// --timeout a call runs on the caller's own thread.
TEST(BoundedCall, ACallThatIgnoresTheCancelIsAbandonedAtTheDeadline) {
  // The stuck call's way out, and its word that it has ended, for the test to end cleanly.
  auto release = std::make_shared<std::promise<void>>();
  auto ended = std::make_shared<std::promise<void>>();
  std::shared_future<void> released = release->get_future().share();
  std::future<void> stuckEnded = ended->get_future();
  const std::thread::id caller = std::this_thread::get_id();
  struct Case {
    const char* what;
    std::optional<double> timeout;
    std::function<void()> call;
    CallEnd end;
    bool throws;
  };
  const Case cases[] = {
      {"returns, no --timeout", std::nullopt,
       [caller] { if (std::this_thread::get_id() != caller) throw std::logic_error("thread"); },
       CallEnd::Returned, false},
      {"returns, past the deadline", 1e-9, [] {}, CallEnd::Returned, false},
      {"throws", 1e-9, [] { throw std::runtime_error("thrown"); }, CallEnd::Returned, true},
      {"ignores the cancel", 1e-9,
       [released, ended] {
         // Bounded, so that a host that never abandons a call fails here instead of hanging.
         released.wait_for(std::chrono::seconds(60));
         ended->set_value();
       },
       CallEnd::Abandoned, false},
  };
  for (const Case& c : cases) {
    CancelSwitch::Install(c.timeout);
    CallEnd end = CallEnd::Returned;
    bool threw = false;
    try {
      end = CallWithinDeadline(c.call);
    } catch (const std::exception&) {
      threw = true;
    }
    EXPECT_EQ(end, c.end) << c.what;
    EXPECT_EQ(threw, c.throws) << c.what;
    EXPECT_EQ(CallAbandoned(), c.end == CallEnd::Abandoned) << c.what;
  }
  release->set_value();
  stuckEnded.wait();
  CancelSwitch::Reset();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace host
