#include "engine/shown_waits.h"

namespace host {

std::chrono::steady_clock::time_point ShownWaits::Now() const { return RealTime().Now(); }

bool ShownWaits::Wait(std::chrono::milliseconds pause, const std::string& why) {
  if (why.empty()) return RealTime().Wait(pause, why);  // the user's own delay
  bool waited = true;
  for (auto left = pause; waited && left.count() > 0;) {
    // The seconds left, rounded up; the part of a second first, then whole ones.
    const auto seconds = (left.count() + 999) / 1000;
    progress_.Waiting(static_cast<int>(seconds), why);
    const std::chrono::milliseconds slice(left.count() - (seconds - 1) * 1000);
    waited = RealTime().Wait(slice, why);
    left -= slice;
  }
  progress_.Waiting(0, why);
  return waited;
}

}  // namespace host
