#include "plugin/instance_registry.h"

#include <algorithm>

CInstanceRegistry::~CInstanceRegistry() { Teardown(); }

void CInstanceRegistry::Add(CLyricsDllInterface* object) {
  platform::CriticalSectionLock guard(lock_);
  objects_.push_back(object);
}

void CInstanceRegistry::Remove(CLyricsDllInterface* object) {
  // The teardown holds the lock while it deletes; the object's destructor lands here, on the
  // same thread (the lock is re-entrant). The check is made under the lock: another thread's
  // object going away meanwhile must not read the field while the teardown writes it.
  platform::CriticalSectionLock guard(lock_);
  if (object == tearingDown_) return;
  const auto it = std::find(objects_.begin(), objects_.end(), object);
  if (it != objects_.end()) {
    objects_.erase(it);
    objects_.shrink_to_fit();
  }
}

void CInstanceRegistry::Teardown() {
  platform::CriticalSectionLock guard(lock_);
  while (!objects_.empty()) {
    CLyricsDllInterface* object = objects_.front();
    tearingDown_ = object;
    delete object;
    tearingDown_ = nullptr;
    objects_.erase(objects_.begin());
    objects_.shrink_to_fit();
  }
}

std::size_t CInstanceRegistry::Count() {
  platform::CriticalSectionLock guard(lock_);
  return objects_.size();
}
