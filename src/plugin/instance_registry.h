// CInstanceRegistry: the process-wide record of every plug-in object handed to the host, so
// that none outlives the library: at unload it deletes what the host did not. Any thread may
// call it; its array is guarded by its own lock. The process-wide instance is created when the
// library loads, before the trace log, and destroyed after it.
#pragma once

#include <vector>

#include "platform/critical_section.h"
#include "tunewell/plugin_interface.h"

class CInstanceRegistry {
 public:
  CInstanceRegistry() = default;
  // Deletes every object still registered (Teardown).
  ~CInstanceRegistry();
  CInstanceRegistry(const CInstanceRegistry&) = delete;
  CInstanceRegistry& operator=(const CInstanceRegistry&) = delete;

  // The process-wide registry.
  static CInstanceRegistry& Instance();

  void Add(CLyricsDllInterface* object);
  // Removes the first entry equal to object; does nothing for the object being torn down.
  void Remove(CLyricsDllInterface* object);
  // Deletes every registered object, oldest first, through its virtual destructor.
  void Teardown();
  std::size_t Count();

 private:
  CLyricsDllInterface* tearingDown_ = nullptr;
  std::vector<CLyricsDllInterface*> objects_;
  platform::CriticalSection lock_;
};
