#include "platform/critical_section.h"

#include <new>

namespace platform {
namespace {

static_assert(sizeof(std::recursive_mutex) <= CriticalSection::kStorageSize);
static_assert(alignof(std::recursive_mutex) <= CriticalSection::kStorageAlignment);

std::recursive_mutex& Mutex(unsigned char* storage) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(storage));
}

}  // namespace

CriticalSection::CriticalSection() { new (storage_) std::recursive_mutex; }
CriticalSection::~CriticalSection() { Mutex(storage_).~recursive_mutex(); }
void CriticalSection::lock() { Mutex(storage_).lock(); }
void CriticalSection::unlock() { Mutex(storage_).unlock(); }
bool CriticalSection::try_lock() { return Mutex(storage_).try_lock(); }

}  // namespace platform
