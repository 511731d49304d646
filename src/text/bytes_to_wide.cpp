#include "text/bytes_to_wide.h"

#include <new>

#include "diag/trace_log.h"
#include "platform/code_page.h"
#include "text/ansi_trace.h"

namespace {

// The failure messages quote the bytes as they are; the code page follows, unquoted.
std::string FailureMessage(const char* what, const char* bytes, std::uint32_t codePage) {
  std::string message = what;
  message += " failed for string: \"";
  message += bytes != nullptr ? bytes : "(null)";
  message += "\", codePage=";
  message += std::to_string(codePage);
  return message;
}

}  // namespace

WString text::BytesToWide(const char* bytes, std::uint32_t codePage) {
  const int needed = platform::MultiByteToWide(codePage, 0, bytes, -1, nullptr, 0);
  if (needed == 0) {
    TraceAnsi(CTraceLog::Warning,
              FailureMessage("MultiByteToWideChar (get needed length)", bytes, codePage));
    return {};
  }
  WString buffer;
  try {
    buffer.assign(static_cast<std::size_t>(needed) + 1, u'\0');  // one spare unit
  } catch (const std::bad_alloc&) {
    TraceAnsi(CTraceLog::Error, "Malloc failed !!!");
    return {};
  }
  if (platform::MultiByteToWide(codePage, 0, bytes, -1, buffer.data(), needed) == 0) {
    TraceAnsi(CTraceLog::Error, FailureMessage("MultiByteToWideChar", bytes, codePage));
    return {};
  }
  buffer.resize(static_cast<std::size_t>(needed) - 1);  // without the terminator
  return buffer;
}
