// How Ctrl-C reaches the cancel switch: signals on POSIX, a console control handler on
// Windows. The platform's handler calls NoteInterrupt for each one; a second one stops the
// process at once through StopNow.
#pragma once

namespace host {

// Installs the handlers (SIGINT and SIGTERM; Ctrl-C, Ctrl-Break and the console closing).
// Handlers that cannot be installed leave Ctrl-C at its default: the process ends.
void InstallInterruptHandlers();
// Counts an interrupt; safe in a signal handler.
void NoteInterrupt();
// Says so on stderr and ends the process with status 1, now; safe in a signal handler.
[[noreturn]] void StopNow();

}  // namespace host
