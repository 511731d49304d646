#include "session/plugin_session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "os/processes.h"
#include "os/utf.h"

namespace host {

bool MakeFolders(const std::string& path, std::string& error) {
  std::error_code code;
  std::filesystem::create_directories(PathFromUtf8(path), code);
  if (code || !std::filesystem::is_directory(PathFromUtf8(path), code)) {
    error = "cannot create the folder " + path + (code ? ": " + code.message() : "");
    return false;
  }
  return true;
}


PluginSession::~PluginSession() { Close(); }

bool PluginSession::Open(const SessionSettings& settings, std::string& error) {
  Close();
  verbose_ = settings.verboseLog;
  if (!library_.Load(settings.pluginPath, error)) return false;
  if (verbose_ != nullptr) {
    std::fprintf(verbose_, "tunewell: loaded the plug-in %s\n", settings.pluginPath.c_str());
  }
  object_.reset(library_.CreateObject());
  if (!object_) {
    error = settings.pluginPath + ": GetDllInterface returned no object";
    Close();
    return false;
  }
  ignore_ = std::make_unique<HostIgnoreList>(verbose_);
  CallbackSettings answers;
  if (settings.proxy) answers.proxy = FromUtf8(*settings.proxy);
  answers.hostIgnore = ignore_.get();
  answers.maxDifference = settings.maxDifference;
  callback_ = std::make_unique<HostCallback>(std::move(answers), verbose_);
  if (!ConfigureLog(settings, error) || !ConfigureCache(settings, error)) {
    Close();
    return false;
  }
  object_->SetHostCallback(callback_.get());
  return true;
}

// The log first: "LogFolder" resets the level and the parent log, so those follow it. The
// level is Warning unless the user chose one: the host reads the failed downloads' lines back.
bool PluginSession::ConfigureLog(const SessionSettings& settings, std::string& error) {
  if (!settings.logDir) {
    ConfigurePrivateLog();
    return true;
  }
  if (!MakeFolders(*settings.logDir, error)) return false;
  if (!FolderTakesWrites(*settings.logDir)) {
    std::fprintf(stderr, "tunewell: warning: nothing can be written in the log folder %s (no "
                 "permission, or a full disk): the plug-in's log will be lost\n",
                 settings.logDir->c_str());
  }
  StartLog(*settings.logDir, settings.traceLevel.value_or("Warning"));
  if (settings.parentLog) {
    // Refused here with its reason; the plug-in would only keep its log without a word.
    std::string why;
    if (!parentLog_.Open(*settings.parentLog, why)) {
      error = "--parent-log " + *settings.parentLog + ": " + why;
      return false;
    }
    SetProperty(u"ParentLogfilePath", parentLog_.NameForPlugin());
  }
  return true;
}

// Without a log folder of the user's the plug-in still logs its warnings, into a folder of
// this run's own, so that a failed download can be explained. When none can be made the run
// goes on without explanations.
void PluginSession::ConfigurePrivateLog() {
  if (privateLog_.Make()) StartLog(Utf8FromPath(privateLog_.Path()), "Warning");
}

// The plug-in names its file after its "SourceName" and this process.
void PluginSession::StartLog(const std::string& folder, const std::string& level) {
  SetProperty(u"LogFolder", folder);
  SetProperty(u"TraceLevel", level);
  logTail_.emplace(PathFromUtf8(folder), TextProperty(u"SourceName"), CurrentProcessId());
}

DownloadTrouble PluginSession::TakeDownloadTrouble() {
  return logTail_ ? ReadDownloadTrouble(logTail_->NewLines()) : DownloadTrouble{};
}

bool PluginSession::ConfigureCache(const SessionSettings& settings, std::string& error) {
  if (!settings.cacheDir) return true;
  // A default folder is made inside the user's folders (~/.cache/tunewell, $XDG_CACHE_HOME/
  // tunewell, %LOCALAPPDATA%\tunewell), never with them: a HOME that does not exist (a service
  // account's /nonexistent) stays so.
  const std::filesystem::path base = PathFromUtf8(*settings.cacheDir).parent_path().parent_path();
  std::error_code code;
  if (settings.cacheDirIsDefault && !std::filesystem::is_directory(base, code)) {
    std::fprintf(stderr, "tunewell: %s does not exist, so the default cache folder %s is not "
                 "made; going on without a cache\n", Utf8FromPath(base).c_str(),
                 settings.cacheDir->c_str());
    return true;
  }
  if (!MakeFolders(*settings.cacheDir, error)) {
    // The user did not ask for this folder: run without a cache rather than not at all.
    if (!settings.cacheDirIsDefault) return false;
    std::fprintf(stderr, "tunewell: %s; going on without a cache\n", error.c_str());
    error.clear();
    return true;
  }
  if (!SetProperty(u"LocalCacheFolder", *settings.cacheDir)) {
    std::fprintf(stderr, "tunewell: the plug-in refused the cache folder %s\n",
                 settings.cacheDir->c_str());
  }
  return true;
}

bool PluginSession::SetProperty(const char16_t* name, const std::string& value) {
  const WString text = FromUtf8(value);
  const bool accepted = object_->SetProperty(name, &text) != 0;
  if (verbose_ != nullptr) {
    std::fprintf(verbose_, "tunewell: SetProperty \"%s\" \"%s\": %s\n", ToUtf8(name).c_str(),
                 value.c_str(), accepted ? "accepted" : "refused");
  }
  return accepted;
}

void PluginSession::Close() {
  if (abandoned_) {
    // Still in use by the call left running: kept for the process's end.
    (void)object_.release();
    (void)callback_.release();
    (void)ignore_.release();
    library_.Release();
    privateLog_.Keep();
    return;
  }
  if (object_) {
    const int merged = object_->CallMethod(u"CloseAndMergeLog", nullptr);
    if (verbose_ != nullptr)
      std::fprintf(verbose_, "tunewell: CallMethod \"CloseAndMergeLog\": %d\n", merged);
    // The object may still hold our callback: it goes first, then the host objects.
    object_.reset();
  }
  // The plug-in skips RemoveHost when cancelled during a download; say what it left.
  if (ignore_ && verbose_ != nullptr) {
    for (const std::string& host : ignore_->Hosts()) {
      std::fprintf(verbose_, "tunewell: HostIgnore still lists \"%s\"\n", host.c_str());
    }
  }
  callback_.reset();
  ignore_.reset();
  library_.Unload();
  logTail_.reset();
  privateLog_.Remove();
}

std::string PluginSession::TextProperty(const char16_t* name) {
  WString text;
  return object_->GetProperty(name, &text) ? ToUtf8(text) : std::string();
}

std::int32_t PluginSession::NumberProperty(const char16_t* name) {
  std::int32_t number = 0;
  return object_->GetProperty(name, &number) ? number : 0;
}

DownloadStatistics PluginSession::Statistics() {
  if (abandoned_) return lastStatistics_;  // the object is not to be called again
  lastStatistics_ = {NumberProperty(u"StatisticDownloadCounter"),
                     NumberProperty(u"StatisticSuccessfulDownloads"),
                     NumberProperty(u"StatisticTotalDownloadTime")};
  return lastStatistics_;
}

}  // namespace host
