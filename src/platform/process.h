// Process and thread identity, and sleeping. Any thread may call these; none fails.
#pragma once

#include <cstdint>

namespace platform {

std::uint32_t CurrentProcessId();
// The kernel's id of the calling thread (never 0).
std::uint32_t CurrentThreadId();
void Sleep(std::uint32_t milliseconds);

}  // namespace platform
