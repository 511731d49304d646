// A re-entrant lock, as Windows critical sections are: the owning thread may take it again.
// Use it with std::lock_guard / std::unique_lock.
#pragma once

#include <mutex>

namespace platform {

using CriticalSection = std::recursive_mutex;
using CriticalSectionLock = std::lock_guard<std::recursive_mutex>;

}  // namespace platform
