// The one way the tests start a program: a child process with its standard streams wired as
// the test asks (input from the null device or a pipe the test closes; output and errors
// captured or left to the test's own), read while it runs, signalled (POSIX), waited for or
// left to run on alone. The servers, the `tunewell` host, python3 and the system's tools all
// start through it. (ChildProcess, in child_process.h, runs a function of the test program
// instead of a program.)
// The object owns the child: its destructor ends one still running. One thread per object.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  bool exited = false;  // ended by exit(), not by a signal
  int status = -1;      // its exit status when exited
  int signal = 0;       // the signal that ended it otherwise
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // The program file, when argv[0] is not its path or name (it is then only the child's own
  // name for itself).
  std::string program;
  // Standard input from a pipe that stays open until CloseInput (a server that reads it ends
  // when it closes), instead of the null device.
  bool inputPipe = false;
  // Standard output and standard error through pipes that the object reads, or else the
  // test program's own.
  bool captureOutput = true;
  bool captureErrors = true;
};

class Process {
 public:
  Process();
  // A child still running is ended: one whose input is a pipe is asked first (input closed,
  // then SIGTERM on POSIX) and killed half a second later each; any other at once.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts options.program, else argv[0] (found on the PATH unless it names a path), with
  // argv. False when it cannot be started.
  bool Start(const std::vector<std::string>& argv, const ProcessOptions& options = {});

  // Reads what the child writes until text shows up on its output (errors) or the time is up.
  bool WaitForStdout(const std::string& text, std::chrono::milliseconds limit);
  bool WaitForStderr(const std::string& text, std::chrono::milliseconds limit);
  // The next line of the output without its line end; what is left at the end; empty at the
  // end or when no line came within the limit.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // The output and errors read so far.
  const ProcessResult& SoFar() const { return result_; }

  // Closes the child's input pipe.
  void CloseInput();
  // Sends a signal (POSIX only: nothing happens on Windows).
  void Signal(int signal);
  // Reads output and errors to their end, then waits for the child and reaps it.
  ProcessResult Wait();
  // Ends the child at once, wherever it is.
  void Kill();
  // Lets the child run on alone: the object forgets it and ends nothing.
  void Detach();

 private:
  struct Child;
  // Reads what the child wrote, waiting up to timeoutMs for something; false once both
  // captured streams are closed.
  bool Pump(int timeoutMs);
  bool WaitFor(const std::string& stream, const std::string& text,
               std::chrono::milliseconds limit);

  std::unique_ptr<Child> child_;
  ProcessResult result_;
  std::size_t lineStart_ = 0;  // where ReadLine goes on in result_.out
};

}  // namespace testing_support
