#include "session/cancel_switch.h"

#include <atomic>
#include <thread>

#include "os/interrupts.h"

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

// Written by the interrupt handler: only lock-free atomics are safe there.
std::atomic<int> signalCount{0};
static_assert(std::atomic<int>::is_always_lock_free);

std::atomic<int> stickyReason{static_cast<int>(CancelSwitch::Reason::None)};
std::optional<Clock::time_point> deadline;

void Remember(CancelSwitch::Reason reason) {
  int none = static_cast<int>(CancelSwitch::Reason::None);
  stickyReason.compare_exchange_strong(none, static_cast<int>(reason));
}

}  // namespace

void NoteInterrupt() {
  // A second one: the user insists, and the plug-in is inside a download it cannot leave early.
  if (signalCount.fetch_add(1) > 0) StopNow();
}

void CancelSwitch::Install(std::optional<double> timeoutSeconds) {
  Reset();
  if (timeoutSeconds) {
    deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(*timeoutSeconds));
  }
  InstallInterruptHandlers();
}

bool CancelSwitch::Cancelled() {
  if (signalCount.load() > 0) Remember(Reason::Interrupted);
  if (deadline && Clock::now() >= *deadline) Remember(Reason::TimedOut);
  return stickyReason.load() != static_cast<int>(Reason::None);
}

CancelSwitch::Reason CancelSwitch::WhyCancelled() {
  Cancelled();
  return static_cast<Reason>(stickyReason.load());
}

std::optional<Clock::time_point> CancelSwitch::Deadline() { return deadline; }

bool CancelSwitch::SleepUnlessCancelled(std::chrono::milliseconds duration) {
  const auto end = Clock::now() + duration;
  constexpr auto kSlice = std::chrono::milliseconds(20);
  while (!Cancelled()) {
    const auto now = Clock::now();
    if (now >= end) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, end - now));
  }
  return false;
}

void CancelSwitch::Reset() {
  signalCount.store(0);
  stickyReason.store(static_cast<int>(Reason::None));
  deadline.reset();
}

}  // namespace host
