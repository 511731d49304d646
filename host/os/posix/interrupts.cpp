#include "os/interrupts.h"

#include <signal.h>
#include <unistd.h>

namespace host {
namespace {

void OnSignal(int) { NoteInterrupt(); }

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void StopNow() {
  static const char kMessage[] = "\ntunewell: interrupted again, stopping now\n";
  const ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(1);
}

}  // namespace host
