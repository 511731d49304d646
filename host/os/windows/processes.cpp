#include "os/processes.h"

#include <windows.h>

namespace host {

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

bool ProcessIsRunning(long pid) {
  if (pid <= 0) return false;
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

}  // namespace host
