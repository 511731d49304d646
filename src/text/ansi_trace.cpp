#include "text/ansi_trace.h"

#include <exception>

#include "diag/trace_log.h"
#include "platform/code_page.h"
#include "encoding/bytes_to_wide.h"
#include "encoding/wide_to_bytes.h"

std::string text::ToThreadAnsi(const WString& text) {
  try {
    return CWideToBytes(text, platform::kCpThreadAcp).Str();
  } catch (const std::exception&) {
    return {};
  }
}

void text::TraceAnsi(int level, const std::string& message) {
  try {
    diag::TraceWrite(level, CBytesToWide(message, platform::kCpThreadAcp).Str());
  } catch (const std::exception&) {
    // A log line must never turn an operation's result into an exception.
  }
}
