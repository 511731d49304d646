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
  // The alignment is a number, not alignof(std::max_align_t): MinGW's max_align_t is 8 or 16
  // bytes depending on which header defined it first, so classes holding a lock were laid
  // out differently from one file to the next and a constructor wrote past the object.
  static constexpr std::size_t kStorageSize = 64;
  static constexpr std::size_t kStorageAlignment = 8;

 private:
  alignas(kStorageAlignment) unsigned char storage_[kStorageSize];
};

using CriticalSectionLock = std::lock_guard<CriticalSection>;

}  // namespace platform
