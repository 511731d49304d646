#include "engine/site_pacer.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(SitePacer, PausesGrowAfterFailuresWithJitterAndACap) {
  struct Case {
    int delayMs, failures;
    double jitter;
    int pauseMs;
  };
  const Case cases[] = {
      {250, 0, 0.9, 250},      // a healthy run keeps the user's delay, no jitter
      {0, 0, 0.5, 0},          //
      {250, 1, 0.5, 1000},     // four delays
      {250, 3, 0.5, 4000},     // doubling
      {0, 1, 0.5, 100},        // at least 0.1 s
      {250, 1, 0.0, 750},      // jitter: from 3/4 ...
      {250, 1, 0.999, 1249},   // ... to 5/4
      {250, 30, 0.5, 60000},   // at most a minute
      {3600000, 2, 0.5, 60000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SitePacer::PauseMs(c.delayMs, c.failures, c.jitter), c.pauseMs)
        << c.delayMs << " ms, " << c.failures << " failures";
  }
}

}  // namespace
}  // namespace host
