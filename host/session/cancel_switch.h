// The host's answer to QueryCancel: true once the user pressed Ctrl-C (SIGINT or SIGTERM; the
// console's Ctrl-C or Ctrl-Break on Windows, see os/interrupts.h) or the --timeout has passed. The
// handler only sets an atomic flag; the plug-in reads it through the host callback on its own
// thread and stops at its next check. A second interrupt ends the process at once, for a search
// stuck in a slow download.
// One process-wide switch: Install once from main; Cancelled may be called from any thread.
#pragma once

#include <chrono>
#include <optional>

namespace host {

class CancelSwitch {
 public:
  enum class Reason { None, Interrupted, TimedOut };

  // Installs the interrupt handlers and starts the clock that --timeout counts from.
  // Handlers that cannot be installed leave Ctrl-C at its default (the process ends).
  static void Install(std::optional<double> timeoutSeconds);
  // True once a signal arrived or the time is up; the first reason seen sticks.
  static bool Cancelled();
  static Reason WhyCancelled();
  // When --timeout runs out, if it was given.
  static std::optional<std::chrono::steady_clock::time_point> Deadline();
  // Sleeps up to the given time, returning early (false) when cancelled meanwhile.
  static bool SleepUnlessCancelled(std::chrono::milliseconds duration);
  // For tests: forget the signal and the deadline.
  static void Reset();
};

}  // namespace host
