#include "platform/process.h"

#include "platform/windows/win_text.h"

namespace platform {

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }
std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }
void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform
