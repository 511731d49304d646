// The built plug-in loaded as a host application loads it (dlopen on POSIX, LoadLibraryW on
// Windows, through the host's own loader), its one export called for each new object.
#pragma once

#include <cstdint>
#include <string>

#include "tunewell/plugin_interface.h"

namespace testing_support {

class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary() { Close(); }
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool ok() const { return handle_ != nullptr; }
  // Why the library did not load.
  const std::string& reason() const { return reason_; }
  // A new object from GetDllInterface, or null; on Windows it crosses the Microsoft-ABI
  // contract as a host application's calls do.
  CLyricsPluginObject* Create() const;
  void Close();

  // Whether the process still has the library at path loaded.
  static bool IsLoaded(const std::string& path);
  // A copy of the built plug-in in folder, named stem plus the plug-in's own extension: a
  // private copy starts with fresh process-wide objects.
  static std::string CopyInto(const std::string& folder, const std::string& stem);
  // The ANSI code page the loaded plug-in writes its files in: the system's on Windows, where
  // the test programs set UTF-8 for themselves alone, and the tests' own on POSIX.
  static std::uint32_t AnsiCodePage();

 private:
  void* handle_ = nullptr;
  std::string reason_;
};

}  // namespace testing_support
