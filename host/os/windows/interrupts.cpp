#include "os/interrupts.h"

#include <windows.h>

namespace host {
namespace {

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      NoteInterrupt();
      return TRUE;  // handled: the main thread winds down by itself
    default:
      return FALSE;  // closing the console, logging off: the system's default ends the process
  }
}

}  // namespace

void InstallInterruptHandlers() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

void StopNow() {
  static const char kMessage[] = "\ntunewell: interrupted again, stopping now\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof kMessage - 1, &written, nullptr);
  // Not ExitProcess: the plug-in's threads and its unload must not run on the way out, as
  // _exit spares them on POSIX.
  ::TerminateProcess(::GetCurrentProcess(), 1);
  for (;;) ::Sleep(INFINITE);
}

}  // namespace host
