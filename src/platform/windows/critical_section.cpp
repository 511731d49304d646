#include "platform/critical_section.h"

#include "platform/windows/win_text.h"

namespace platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= CriticalSection::kStorageSize);
static_assert(alignof(CRITICAL_SECTION) <= CriticalSection::kStorageAlignment);

CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

}  // namespace

CriticalSection::CriticalSection() { ::InitializeCriticalSection(Section(storage_)); }
CriticalSection::~CriticalSection() { ::DeleteCriticalSection(Section(storage_)); }
void CriticalSection::lock() { ::EnterCriticalSection(Section(storage_)); }
void CriticalSection::unlock() { ::LeaveCriticalSection(Section(storage_)); }
bool CriticalSection::try_lock() { return ::TryEnterCriticalSection(Section(storage_)) != 0; }

}  // namespace platform
