#include "platform/debug_output.h"

#include "platform/windows/win_text.h"

namespace platform {

void WriteDebugOutput(const WString& line) { ::OutputDebugStringW(win::W(line)); }

}  // namespace platform
