// The library's process-wide objects, in one place so that their order is fixed: the registry
// is created first and destroyed last, so that the trace log (which closes and merges its file
// when destroyed) goes before the registry deletes the objects the host left behind.
#include "diag/trace_log.h"
#include "platform/code_page.h"
#include "profile/profile.h"
#include "plugin/instance_registry.h"

namespace {

// Platform state that must outlive the objects below: made first, so destroyed last.
struct PlatformState {
  PlatformState() {
    platform::KeepConversionLibraryLoaded();
    profile::PrepareProfileCache();
  }
};

struct ProcessObjects {
  PlatformState platform;
  CInstanceRegistry registry;
  CTraceLog traceLog;

  ProcessObjects() { CTraceLog::SetGlobal(&traceLog); }
};

ProcessObjects& Objects() {
  static ProcessObjects objects;
  return objects;
}

// Created when the library loads, before any call from the host.
[[maybe_unused]] const bool createdAtLoad = (Objects(), true);

}  // namespace

CInstanceRegistry& CInstanceRegistry::Instance() { return Objects().registry; }
