// The host's "HostIgnore" object: the list of host names whose traffic the host leaves alone,
// which the plug-in fills around each download (AddHost before, RemoveHost after). It keeps
// one entry per AddHost, so that nested or repeated additions of one name are withdrawn one at
// a time. With a log stream set (--verbose) every call is shown there.
// Owned by the host's PluginSession; called on the thread that drives the plug-in.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tunewell/host_interface.h"

namespace host {

class HostIgnoreList : public CHostIgnore {
 public:
  // log: where to show each call, or null for silence. Not owned.
  explicit HostIgnoreList(std::FILE* log = nullptr) : log_(log) {}

  // Adds one entry. A null name is taken as empty.
  void AddHost(const char16_t* host, int flag) override;
  // Removes one entry of that name; a name not in the list changes nothing (and is shown).
  void RemoveHost(const char16_t* host) override;

  // The names now in the list, in the order added (UTF-8).
  const std::vector<std::string>& Hosts() const { return hosts_; }
  bool Contains(const std::string& host) const;

 private:
  std::FILE* log_;
  std::vector<std::string> hosts_;
};

}  // namespace host
