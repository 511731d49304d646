#include "plugin/common_dll_interface.h"

#include <cstring>

#include "diag/md5_checksum.h"
#include "diag/trace_log.h"
#include "platform/file.h"
#include "platform/module_path.h"
#include "search/artist_url_cache.h"

namespace {

// An address inside this library, to find the module's own file.
void ModuleAnchor() {}

constexpr std::size_t kMaxErrorText = 255;

// The checksum of the library's own file identifies the build; empty when it cannot be read.
WString ModuleChecksum() {
  const WString path = platform::GetModuleFilePath(reinterpret_cast<const void*>(&ModuleAnchor));
  try {
    return diag::ComputeFileMD5(path);
  } catch (const platform::FileError& error) {
    diag::TraceWrite(CTraceLog::Error,
                     u"Can not make MD5hash, CFileException: " + error.Message(kMaxErrorText));
  }
  return {};
}

// An exception inside a slot becomes a refusal; the log hears of it if it can still take a line.
void TraceSlotFailure(const char16_t* slot, const WString& name) noexcept {
  try {
    diag::TraceWrite(CTraceLog::Error,
                     WString(u"CCommonDllInterface::") + slot + u" - exception for: " + name);
  } catch (...) {
  }
}

}  // namespace

template <class TInterface>
CCommonDllInterface<TInterface>::CCommonDllInterface() : sourceId(ModuleChecksum()) {}

template <class TInterface>
CCommonDllInterface<TInterface>::~CCommonDllInterface() = default;

template <class TInterface>
int CCommonDllInterface<TInterface>::SetProperty(const WString& name, const WString* value) {
  try {
    const WString prefix = u"CCommonDllInterface::Set Property " + name + u": ";
    if (value != nullptr) {
      if (name == u"LocalCacheFolder") return CreateArtistCache(prefix, *value);
      if (name == u"LogFolder") {
        if (CTraceLog* log = CTraceLog::Global()) log->Configure(*value, sourceName, CTraceLog::Error);
        diag::TraceWrite(CTraceLog::Debug, prefix + *value);
        return 1;
      }
      if (name == u"TraceLevel") {
        if (CTraceLog* log = CTraceLog::Global()) log->SetLevelName(*value);
        diag::TraceWrite(CTraceLog::Debug, prefix + *value);
        return 1;
      }
      if (name == u"ParentLogfilePath") {
        if (CTraceLog* log = CTraceLog::Global()) log->SetParentLogPath(*value);
        diag::TraceWrite(CTraceLog::Debug, prefix + *value);
        return 1;
      }
    }
    diag::TraceWrite(CTraceLog::Warning, prefix + u" - Can not be set.");
  } catch (...) {
    TraceSlotFailure(u"SetProperty", name);
  }
  return 0;
}

template <class TInterface>
int CCommonDllInterface<TInterface>::GetProperty(const WString& name, void* result) {
  try {
    if (result != nullptr) {
      const struct {
        const char16_t* name;
        const WString* text;
        const std::int32_t* number;
      } kReadable[] = {
          {u"SourceName", &sourceName, nullptr},
          {u"SourceId", &sourceId, nullptr},
          {u"StatisticDownloadCounter", nullptr, &downloadCounter},
          {u"StatisticSuccessfulDownloads", nullptr, &successfulDownloads},
          {u"StatisticTotalDownloadTime", nullptr, &totalDownloadTime},
          {u"SupportedSearch", nullptr, &supportedSearch},
          {u"AlbumsItearationConstant", nullptr, &albumsIterationConstant},
          {u"TitlesItearationConstant", nullptr, &titlesIterationConstant},
      };
      for (const auto& row : kReadable) {
        if (name != row.name) continue;
        if (row.text != nullptr) {
          *static_cast<WString*>(result) = *row.text;
        } else {
          std::memcpy(result, row.number, sizeof(std::int32_t));
        }
        return 1;
      }
    }
    diag::TraceWrite(CTraceLog::Error, u"CCommonDllInterface::Property not found: " + name);
  } catch (...) {
    TraceSlotFailure(u"GetProperty", name);
  }
  return 0;
}

template <class TInterface>
int CCommonDllInterface<TInterface>::CallMethod(const WString& name, void* /*argument*/) {
  try {
    if (name == u"CloseAndMergeLog") {
      if (CTraceLog* log = CTraceLog::Global()) log->CloseAndMergeLog();
      return 1;
    }
    diag::TraceWrite(CTraceLog::Error,
                     u"CCommonDllInterface::CallMethod - Method not found: " + name);
  } catch (...) {
    TraceSlotFailure(u"CallMethod", name);
  }
  return 0;
}

template <class TInterface>
void CCommonDllInterface<TInterface>::NotifyHost() {
  if (this->hostCallback != nullptr) this->hostCallback->Notify();
}

template <class TInterface>
bool CCommonDllInterface<TInterface>::IsCancelled() {
  if (this->hostCallback == nullptr) return true;
  return this->hostCallback->QueryCancel();
}

template class CCommonDllInterface<CLyricsDllInterface>;
