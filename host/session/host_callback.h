// The host's CHostCallback: answers the plug-in's settings ("HttpProxy", "HostIgnore",
// "MaxMatchDifference") from the command line and its QueryCancel from the CancelSwitch
// (Ctrl-C, --timeout). Owned by the host's PluginSession, which registers it with the plug-in
// object and outlives that object; called on the thread that drives the plug-in.
#pragma once

#include <cstdio>
#include <optional>
#include <utility>

#include "tunewell/host_interface.h"

namespace host {

struct CallbackSettings {
  std::optional<WString> proxy;       // "HttpProxy"; none: not supplied, the system default
  CHostIgnore* hostIgnore = nullptr;  // "HostIgnore"; not owned, supplied when not null
  float maxDifference = 1.0f;         // "MaxMatchDifference"
};

class HostCallback : public CHostCallback {
 public:
  // log: where --verbose shows the unexpected calls, or null. Not owned.
  HostCallback(CallbackSettings settings, std::FILE* log)
      : settings_(std::move(settings)), log_(log) {}

  // Writes the named setting through value and returns 1; returns 0 and leaves value alone for
  // a setting the host does not supply, a null value pointer or an unknown name.
  int QueryValue(const WString& name, void* value) override;
  // The threshold answered from now on: the host widens it for a search whose answers it
  // judges itself (matching/search_plan.h), and puts the user's back after.
  void SetMaxDifference(float maxDifference) { settings_.maxDifference = maxDifference; }
  void Notify() override;
  bool QueryCancel() override;

 private:
  CallbackSettings settings_;
  std::FILE* log_;
};

}  // namespace host
