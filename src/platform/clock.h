// Time as the plug-in's own code reads it: local calendar time with milliseconds, the 32-bit
// millisecond tick count and the high-resolution counter. Any thread may call these; none fails.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0;
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

LocalTime GetLocalTime();

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows tick count.
std::uint32_t GetTickCount();

// A monotonic counter of high resolution and its ticks per second.
std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();

}  // namespace platform
