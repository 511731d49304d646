// A helper process for tests of processes sharing files. On POSIX the child is forked and runs
// `main` at once. On Windows, which cannot fork, the test program starts again (a Process) for
// the running test alone, with the child's arguments in its environment, and the test hands
// over to `main` at its top through RunIfChild: so the same test body serves both platforms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/process.h"

namespace testing_support {

class ChildProcess {
 public:
  using Main = int (*)(const std::vector<std::string>& arguments);

  ChildProcess(Main main, const std::vector<std::string>& arguments);
  ~ChildProcess();  // a child still running is killed
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return id_ != 0; }
  // Waits for the end: main's result, or -1 when the child was killed or ended abnormally.
  int Wait();
  // Ends the child at once, wherever it is.
  void Kill();

 private:
  std::intptr_t id_ = 0;  // the process id on POSIX; on Windows, 1 while process_ runs one
  bool killed_ = false;
  Process process_;       // on Windows: the test program started again
};

// Call first thing in a test that starts children: in a Windows child, runs main with its
// arguments and ends the process with main's result. Does nothing elsewhere.
void RunIfChild(ChildProcess::Main main);

}  // namespace testing_support
