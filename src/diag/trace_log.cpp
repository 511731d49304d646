#include "diag/trace_log.h"

#include <atomic>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace {

std::atomic<CTraceLog*> globalLog{nullptr};

// Write hands its text to the writer as a format: every "%" is doubled so it comes out as is.
WString EscapePercent(const char16_t* text) {
  WString escaped;
  for (const char16_t* p = text; *p != 0; ++p) {
    escaped += *p;
    if (*p == u'%') escaped += u'%';
  }
  return escaped;
}

WString AppendSeparator(const WString& folder) {
  if (!folder.empty() && folder.back() != u'/') return folder + u'/';
  return folder;
}

}  // namespace

// The writer exists from the start, so that setting the level needs no lock of the log's.
CTraceLog::CTraceLog() : writer_(std::make_unique<CTraceWriter>()) {}

CTraceLog::~CTraceLog() {
  writer_->Shutdown();
  try {
    CloseAndMergeLog();
  } catch (...) {
  }
  CTraceLog* self = this;
  globalLog.compare_exchange_strong(self, nullptr);
}

CTraceLog* CTraceLog::Global() { return globalLog.load(); }

CTraceLog* CTraceLog::SetGlobal(CTraceLog* log) { return globalLog.exchange(log); }

CTraceWriter& CTraceLog::Writer() { return *writer_; }

void CTraceLog::Configure(const WString& folder, const WString& name, int level) {
  platform::CriticalSectionLock guard(lock_);
  if (configured_ || folder.empty()) return;
  const WString withSeparator = AppendSeparator(folder);
  const platform::LocalTime now = platform::GetLocalTime();
  parentLogPath_ = withSeparator + encoding::Format(u"%04d%02d%02d_%02d%02d%02d_%X.txt", now.year,
                                                    now.month, now.day, now.hour, now.minute,
                                                    now.second, platform::CurrentProcessId());
  Writer().SetFilePrefix(withSeparator + name);
  Writer().SetLevel(level);
  configured_ = true;
}

void CTraceLog::SetLevelName(const WString& text) {
  static constexpr std::pair<const char16_t*, int> kLevels[] = {
      {u"Error", Error}, {u"Warning", Warning}, {u"Info", Info},
      {u"Debug", Debug}, {u"Detail", Debug},    {u"Verbose", Debug},
  };
  int level = Error;
  for (const auto& [name, value] : kLevels) {
    if (text == name) {
      level = value;
      break;
    }
  }
  Writer().SetLevel(level);
}

void CTraceLog::Write(int level, const char16_t* text) {
  platform::CriticalSectionLock guard(lock_);
  if (text == nullptr || !configured_) return;
  const WString format = EscapePercent(text);
  Writer().WriteLine(level, format.c_str(), {});
}

void CTraceLog::Write(int level, const WString& text) { Write(level, text.c_str()); }

void CTraceLog::WriteFormatArgs(int level, const char16_t* format,
                                std::initializer_list<encoding::FormatArg> args) {
  platform::CriticalSectionLock guard(lock_);
  if (!configured_ || format == nullptr) return;
  const WString text = encoding::FormatWide(format, args);
  Writer().WriteLine(level, u"%s", {encoding::FormatArg(text)});
}

void CTraceLog::WriteLastError(int level, const WString& prefix, std::uint32_t code) {
  const WString message = platform::ErrorText(code);
  WriteFormat(level, u"%s GetLastError():%d, %s", prefix, static_cast<std::int32_t>(code), message);
}

void CTraceLog::Close() {
  platform::CriticalSectionLock guard(lock_);
  if (configured_) Writer().Close();
  configured_ = false;
}

bool CTraceLog::GetFilePath(char16_t* buffer, std::size_t capacity) {
  platform::CriticalSectionLock guard(lock_);
  return Writer().GetFilePath(buffer, capacity);
}

void diag::TraceWrite(int level, const WString& text) {
  if (CTraceLog* log = CTraceLog::Global()) log->Write(level, text);
}

void diag::TraceFormatArgs(int level, const char16_t* format,
                           std::initializer_list<encoding::FormatArg> args) {
  if (format == nullptr) return;
  if (CTraceLog* log = CTraceLog::Global()) log->Write(level, encoding::FormatWide(format, args));
}

void diag::TraceLastError(int level, const WString& prefix, std::uint32_t code) {
  if (CTraceLog* log = CTraceLog::Global()) log->WriteLastError(level, prefix, code);
}
