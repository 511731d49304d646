// This process's id, and whether another one still runs: for names that say which run a
// leftover file or folder belongs to. (Backends: os/posix/, os/windows/.)
#pragma once

#include <cstdint>

namespace host {

std::uint32_t CurrentProcessId();
// False for a process that has ended (or a number that names none).
bool ProcessIsRunning(long pid);

}  // namespace host
