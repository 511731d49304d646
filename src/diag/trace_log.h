// CTraceLog: the process-wide trace log that every part of the plug-in writes to. Silent until
// Configure names a folder; then each entry at or below the level becomes one line of a UTF-16
// file in that folder (see CTraceWriter). Any thread may call it: its own lock (re-entrant) is
// taken before the writer's spin lock. Nothing here throws towards the caller.
//
// The process-wide instance is created and destroyed by the plug-in's process objects; code
// elsewhere reaches it through the free functions at the end (TraceWrite, TraceFormat,
// TraceLastError), which do nothing while no instance is installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "diag/trace_writer.h"
#include "platform/critical_section.h"
#include "encoding/wide_format.h"
#include "tunewell/wstring.h"

class CTraceLog {
 public:
  enum Level : int { Error = 10, Warning = 20, Info = 30, Debug = 40 };
  // Size of the buffer the merge reads the current path into, terminator included.
  static constexpr std::size_t kPathBufferSize = 261;

  CTraceLog();
  // Shuts the writer (file closed, path kept), then closes and merges the log.
  ~CTraceLog();
  CTraceLog(const CTraceLog&) = delete;
  CTraceLog& operator=(const CTraceLog&) = delete;

  // The installed process-wide log, or null.
  static CTraceLog* Global();
  // Installs a log as the process-wide one (null removes it); the previous one is returned.
  static CTraceLog* SetGlobal(CTraceLog* log);

  // Starts the log in folder with file prefix folder + name, at level; sets the default parent
  // log path. Does nothing when already configured or when folder is empty.
  void Configure(const WString& folder, const WString& name, int level);
  // "Error" 10, "Warning" 20, "Info" 30, "Debug"/"Detail"/"Verbose" 40; anything else 10.
  void SetLevelName(const WString& text);
  // Writes the text unchanged ("%" included).
  void Write(int level, const WString& text);
  void Write(int level, const char16_t* text);
  // Formats printf-style, then writes the result unchanged.
  void WriteFormatArgs(int level, const char16_t* format,
                       std::initializer_list<encoding::FormatArg> args);
  template <class... Args>
  void WriteFormat(int level, const char16_t* format, const Args&... args) {
    WriteFormatArgs(level, format, {encoding::FormatArg(args)...});
  }
  // Writes "<prefix> GetLastError():<code>, <system message of code>".
  void WriteLastError(int level, const WString& prefix, std::uint32_t code);
  // Closes the file; entries are dropped until the next Configure.
  void Close();
  // Closes the log, appends the trace file to the parent log under its name, and deletes the
  // trace file once its whole content is appended. A parent log that another open holds
  // (another process appending its section) is waited for, up to 2 s; after that the trace
  // file is kept. Reports nothing.
  void CloseAndMergeLog();
  // Copies the current trace file's path into buffer (see CTraceWriter::GetFilePath).
  bool GetFilePath(char16_t* buffer, std::size_t capacity);

  bool IsConfigured() const { return configured_; }
  // The parent log is assigned without the lock, as the host's setting does.
  void SetParentLogPath(const WString& path) { parentLogPath_ = path; }
  const WString& ParentLogPath() const { return parentLogPath_; }
  CTraceWriter& Writer();

 private:
  bool configured_ = false;
  WString parentLogPath_;
  platform::CriticalSection lock_;
  std::unique_ptr<CTraceWriter> writer_;
};

namespace diag {

// Writes to the process-wide log, if one is installed.
void TraceWrite(int level, const WString& text);
void TraceFormatArgs(int level, const char16_t* format,
                     std::initializer_list<encoding::FormatArg> args);
// Formats printf-style and writes the result; a null format writes nothing.
template <class... Args>
void TraceFormat(int level, const char16_t* format, const Args&... args) {
  TraceFormatArgs(level, format, {encoding::FormatArg(args)...});
}
void TraceLastError(int level, const WString& prefix, std::uint32_t code);

}  // namespace diag
