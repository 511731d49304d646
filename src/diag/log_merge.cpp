// The close and merge of the trace log: the plug-in's own trace file is appended to the
// parent log as one titled section, then deleted. It reads and writes through CStdioFileEx of
// text/, which writes no trace itself, so nothing here can call back into the log.
#include "diag/trace_log.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/system_error.h"
#include "encoding/stdio_file_ex.h"

namespace {

using platform::File;

// Parent log: appended to, created when missing, UTF-16 (the mark comes with the first write).
// Only a regular file, or a new one: a FIFO would hold the merge (and the host's answer) for
// ever, and a device or a kernel setting is no log.
constexpr std::uint32_t kParentFlags = File::modeWrite | File::shareDenyWrite | File::modeCreate |
                                       File::modeNoTruncate | File::typeText |
                                       CStdioFileEx::modeUnicode | File::regularFileOnly;
constexpr std::uint32_t kChildFlags = File::modeRead | File::typeText | File::regularFileOnly;

// Another process (or log) appending its own section holds the parent log, denying other
// writers, for as long as its copy takes: a few milliseconds for a usual trace. The merge
// waits for its turn, trying again every kParentRetryMs for up to kParentWaitMs, and keeps its
// child log when the parent stays taken.
constexpr std::uint32_t kParentRetryMs = 50;
constexpr std::uint32_t kParentWaitMs = 2000;

bool OpenParent(CStdioFileEx& parent, const WString& path) {
  for (std::uint32_t waited = 0;; waited += kParentRetryMs) {
    platform::FileError error;
    if (parent.Open(path, kParentFlags, &error)) return true;
    if (error.Code() != platform::error::kSharingViolation || waited >= kParentWaitMs) {
      return false;
    }
    platform::Sleep(kParentRetryMs);
  }
}

// Appends the child's section to the parent. True only when the whole section was written.
bool AppendSection(const WString& parentPath, const WString& childPath) {
  CStdioFileEx parent;
  CStdioFileEx child;
  try {
    if (!OpenParent(parent, parentPath) || !child.Open(childPath, kChildFlags)) return false;
    parent.SeekToEnd();
    parent.WriteString(u"\r\n" + child.GetFileName() + u"\r\n");
    WString line;
    while (child.ReadString(line)) parent.WriteString(line + u"\r\n");
    return true;
  } catch (...) {
    // A file error in the middle leaves the part of the section written so far; the child is
    // kept so that nothing is lost. Both files are closed by their destructors.
    return false;
  }
}

}  // namespace

void CTraceLog::CloseAndMergeLog() {
  Close();
  char16_t buffer[kPathBufferSize] = {};
  GetFilePath(buffer, kPathBufferSize);  // a path that does not fit stays empty
  const WString childPath = buffer;
  if (childPath.empty() || parentLogPath_.empty()) return;

  platform::CriticalSectionLock guard(lock_);
  if (!AppendSection(parentLogPath_, childPath)) return;
  try {
    File::Remove(childPath);
  } catch (const platform::FileError&) {
    // Already merged; a child that cannot be deleted is merely left behind.
  }
}
