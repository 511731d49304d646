// TraceCapture: for the lifetime of the object, a CTraceLog writing at the given level into a
// temporary folder is installed as the process-wide log; Lines() returns the entries written
// so far (the text after the "hh:mm:ss.mmm TID TAG: " header, with the tag kept apart).
// The previous process-wide log is restored afterwards. One test thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tunewell/wstring.h"

class CTraceLog;

namespace testing_support {

struct TraceLine {
  WString tag;   // "ERR", "WRN", "INF", "DBG"
  WString text;
};

class TraceCapture {
 public:
  explicit TraceCapture(int level = 40);
  ~TraceCapture();

  std::vector<TraceLine> Lines() const;
  // True when some line has this tag and contains the text.
  bool Contains(const WString& tag, const WString& text) const;
  // True when some line's text equals the text exactly (any tag).
  bool HasLine(const WString& text) const;
  CTraceLog& log() { return *log_; }
  const TempDir& folder() const { return dir_; }

 private:
  TempDir dir_;
  std::unique_ptr<CTraceLog> log_;
  CTraceLog* previous_ = nullptr;
};

}  // namespace testing_support
