// One configured plug-in object for the length of a command: loads the library (refusing a
// file that is not a Tunewell search plug-in), creates the object, sets its properties in the
// order the plug-in needs ("LogFolder" before "TraceLevel" and "ParentLogfilePath", then
// "LocalCacheFolder"), registers the host callback with its "HostIgnore" list, and on Close
// calls "CloseAndMergeLog", deletes the object and only then unloads the library.
// The session owns the library, the object, the callback and the ignore list. One thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "session/download_trouble.h"
#include "session/host_callback.h"
#include "session/host_ignore_list.h"
#include "session/plugin_loader.h"
#include "session/private_log_folder.h"
#include "os/log_files.h"
#include "session/trace_log_tail.h"
#include "tunewell/plugin_interface.h"

namespace host {

// What the host tells the plug-in; folders are created when missing.
struct SessionSettings {
  std::string pluginPath;
  std::optional<std::string> logDir;
  std::optional<std::string> traceLevel;
  std::optional<std::string> parentLog;
  std::optional<std::string> cacheDir;  // none: no "LocalCacheFolder"
  bool cacheDirIsDefault = false;       // a default folder that cannot be made is skipped,
                                        // and one is made only inside the user's own folders
  std::optional<std::string> proxy;
  float maxDifference = 1.0f;
  std::FILE* verboseLog = nullptr;  // --verbose: where to show the dealings, else null
};

// The plug-in's download statistics ("StatisticDownloadCounter" and its siblings).
struct DownloadStatistics {
  std::int32_t attempted = 0;
  std::int32_t successful = 0;
  std::int32_t milliseconds = 0;
};

class PluginSession {
 public:
  PluginSession() = default;
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Loads and configures. False with a message for the user when the plug-in is unusable
  // (not a plug-in, cannot be loaded, no object) or a folder cannot be created; nothing is
  // left loaded then.
  bool Open(const SessionSettings& settings, std::string& error);
  // Merges the trace log, deletes the object, unloads the library. Safe to call twice.
  void Close();
  // A call into the plug-in was left running (engine/bounded_call.h): from now on the session
  // makes no call, and Close leaves the object, the library and the host objects that the
  // call may still use as they are, for the process's end.
  void Abandon() { abandoned_ = true; }

  CLyricsDllInterface& Plugin() { return *object_; }
  // What "MaxMatchDifference" answers from now on (host_callback.h).
  void SetMaxDifference(float maxDifference) { callback_->SetMaxDifference(maxDifference); }
  const PluginInfo& Info() const { return library_.Info(); }
  const HostIgnoreList& IgnoreList() const { return *ignore_; }

  // Text and numeric properties; empty / 0 when the plug-in does not know the name.
  std::string TextProperty(const char16_t* name);
  std::int32_t NumberProperty(const char16_t* name);
  DownloadStatistics Statistics();
  // Why the last failed download among those since the last call failed, as the plug-in's log
  // tells it (empty when it told nothing). Call after each search, so that a reason is never
  // taken for a later one.
  DownloadTrouble TakeDownloadTrouble();

 private:
  bool SetProperty(const char16_t* name, const std::string& value);
  bool ConfigureLog(const SessionSettings& settings, std::string& error);
  void ConfigurePrivateLog();
  void StartLog(const std::string& folder, const std::string& level);
  bool ConfigureCache(const SessionSettings& settings, std::string& error);

  PluginLibrary library_;
  std::unique_ptr<HostIgnoreList> ignore_;
  std::unique_ptr<HostCallback> callback_;
  std::unique_ptr<CLyricsDllInterface> object_;
  std::FILE* verbose_ = nullptr;
  bool abandoned_ = false;
  DownloadStatistics lastStatistics_;  // as last read: what an abandoned session reports
  std::optional<TraceLogTail> logTail_;
  PrivateLogFolder privateLog_;  // when the user names no log folder
  ParentLogFile parentLog_;      // open until the plug-in has merged into it
};

// Creates a folder and its parents. False with a message when it cannot be made.
bool MakeFolders(const std::string& path, std::string& error);

}  // namespace host
