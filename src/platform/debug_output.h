// The debugger's copy of a trace line (OutputDebugStringW on Windows). A platform without a
// debugger channel drops the line. Any thread may call it; it never fails.
#pragma once

#include "tunewell/wstring.h"

namespace platform {

void WriteDebugOutput(const WString& line);

}  // namespace platform
