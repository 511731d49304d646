// Loads a Tunewell plug-in the way a host application does: it finds the information block in
// the library file by its opening marker (without loading the file), checks that it names a
// search plug-in, then loads the library and resolves GetDllInterface. Failures are reported
// as text for the user; nothing throws.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tunewell/plugin_interface.h"

namespace host {

// The block's key/value pairs in stored order, quotes removed.
using PluginInfo = std::vector<std::pair<std::string, std::string>>;

// Finds and parses the information block in the file's bytes. False with a message when the
// file cannot be read or holds no well-formed block.
bool ReadPluginInfo(const std::string& path, PluginInfo& info, std::string& error);
// The value of a key, or empty.
std::string InfoValue(const PluginInfo& info, const std::string& key);

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Checks the block (Type=search), loads the library and resolves the export. False with a
  // message for the user on any failure.
  bool Load(const std::string& path, std::string& error);
  const PluginInfo& Info() const { return info_; }
  // A new plug-in object, owned by the caller (delete it before Unload); null on failure. On
  // Windows it crosses the Microsoft-ABI contract (os/plugin_boundary.h).
  CLyricsDllInterface* CreateObject() const;
  // Unloads the library: its process-wide objects go, the trace log is merged.
  void Unload();
  // Forgets the library without unloading it: code of it may still be running.
  void Release() {
    handle_ = nullptr;
    factory_ = nullptr;
  }

 private:
  PluginInfo info_;
  void* handle_ = nullptr;
  void* (*factory_)() = nullptr;  // the export; its object is adopted by os/plugin_boundary.h
};

// The plug-in of the running executable: beside it (a build tree), else in
// ../lib/tunewell/ (an installed tree); the first place when neither holds one.
std::string DefaultPluginPath();

}  // namespace host
