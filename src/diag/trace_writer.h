// CTraceWriter: the file behind the trace log. It owns the open trace file, the level, the file
// name prefix and the current path, guarded by a spin lock of its own (a thread that owns it
// passes again; the first release frees it). Any thread may call it; CTraceLog takes its own
// lock first. Nothing here throws or reports failure: a line that cannot be written is lost
// whole (a full disk never leaves part of a line in the file), and the next line tries again.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/file.h"
#include "encoding/wide_format.h"
#include "tunewell/wstring.h"

class CTraceWriter {
 public:
  using Clock = platform::LocalTime (*)();
  // The longest path of a trace file, terminator not counted.
  static constexpr std::size_t kMaxPath = 1000;

  CTraceWriter();
  ~CTraceWriter();
  CTraceWriter(const CTraceWriter&) = delete;
  CTraceWriter& operator=(const CTraceWriter&) = delete;

  // Closes the open file; the next line starts a new file under the new prefix.
  void SetFilePrefix(const WString& prefix);
  // Levels above n are dropped; n <= 0 stores 0, which turns writing off.
  void SetLevel(int n);
  int Level() const { return level_.load(std::memory_order_relaxed); }
  void Close();
  // Copies the current path and its terminator when capacity >= length + 1; otherwise leaves
  // the buffer untouched. True when copied.
  bool GetFilePath(char16_t* buffer, std::size_t capacity);
  // Formats one line (header, text, CR LF) and writes it in one write.
  void WriteLine(int level, const char16_t* format, std::initializer_list<encoding::FormatArg> args);
  // What destruction does, for a writer whose lifetime the log controls: closes the file and
  // frees the prefix; the current path stays readable.
  void Shutdown();

  // The clock the writer reads; tests replace it (a write across midnight).
  void SetClock(Clock clock) { clock_ = clock; }

  // The tag of a level: "" for 0-9, "ERR" 10-19, "WRN", "INF", "DBG", "-->", "---" for 60-69,
  // "" for anything else.
  static const char16_t* LevelTag(int level);

 private:
  void Acquire();
  void Release();
  void OpenNewFile();
  bool SameDate(const platform::LocalTime& now) const;
  void WriteWholeLine(const std::string& bytes);

  std::unique_ptr<platform::File> file_;
  std::atomic<int> level_{0};
  std::atomic<std::uint32_t> owner_{0};
  std::unique_ptr<WString> prefix_;
  platform::LocalTime created_{};
  std::uint64_t fileLength_ = 0;  // what the open file holds: the mark and the whole lines
  WString path_;
  Clock clock_;
};
