#include "platform/clock.h"

#include "platform/windows/win_text.h"

namespace platform {

LocalTime GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  LocalTime t;
  t.year = now.wYear;
  t.month = now.wMonth;
  t.day = now.wDay;
  t.hour = now.wHour;
  t.minute = now.wMinute;
  t.second = now.wSecond;
  t.millisecond = now.wMilliseconds;
  return t;
}

std::uint32_t GetTickCount() { return ::GetTickCount(); }

std::int64_t QueryPerformanceCounter() {
  LARGE_INTEGER value{};
  ::QueryPerformanceCounter(&value);
  return value.QuadPart;
}

std::int64_t QueryPerformanceFrequency() {
  LARGE_INTEGER value{};
  ::QueryPerformanceFrequency(&value);
  return value.QuadPart;
}

}  // namespace platform
