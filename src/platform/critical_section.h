// A re-entrant lock, as Windows critical sections are: the owning thread may take it again.
// On Windows it is a CRITICAL_SECTION, on POSIX a recursive mutex; the system's object lives in
// the lock's own storage, so the header names no system type. Use it with std::lock_guard /
// std::unique_lock. Neither taking nor releasing fails.
#pragma once

#include <cstddef>
#include <mutex>

namespace platform {

class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock();
  void unlock();
  bool try_lock();

  // Room for the system's lock object; each backend checks at compile time that it fits.
  static constexpr std::size_t kStorageSize = 64;

 private:
  alignas(std::max_align_t) unsigned char storage_[kStorageSize];
};

using CriticalSectionLock = std::lock_guard<CriticalSection>;

}  // namespace platform
