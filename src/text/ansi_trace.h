// Trace lines that the text and HTTP code compose as byte strings: wide pieces go into the
// message in the calling thread's ANSI code page, and the finished message comes back to wide
// text in the same code page before CTraceLog writes it, so characters the code page cannot
// represent show as its default character. Any thread may call these; they never throw.
#pragma once

#include <string>

#include "tunewell/wstring.h"

namespace text {

// The text in the calling thread's ANSI code page, up to its first NUL; empty when it cannot
// be converted.
std::string ToThreadAnsi(const WString& text);

// Writes a byte-string message at level to the process-wide trace log. A message that cannot
// be converted is dropped.
void TraceAnsi(int level, const std::string& message);

}  // namespace text
