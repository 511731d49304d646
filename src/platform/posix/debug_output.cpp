#include "platform/debug_output.h"

namespace platform {

// No debugger channel here: the trace file is the only copy of the line.
void WriteDebugOutput(const WString&) {}

}  // namespace platform
