// The run's clock for its pacer (engine/site_pacer.h): real time, with each wait after failures
// shown on the progress display and counted down by the second, so that a pause of minutes does
// not look like a search that hangs. The user's own delay between songs is not shown. Holds a
// display it does not own. The thread that drives the run.
#pragma once

#include "engine/progress_display.h"
#include "engine/site_pacer.h"

namespace host {

class ShownWaits : public PacerClock {
 public:
  explicit ShownWaits(ProgressDisplay& progress) : progress_(progress) {}

  std::chrono::steady_clock::time_point Now() const override;
  bool Wait(std::chrono::milliseconds pause, const std::string& why) override;

 private:
  ProgressDisplay& progress_;
};

}  // namespace host
