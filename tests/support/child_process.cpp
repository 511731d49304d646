#include "support/child_process.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>

#include "os/windows/wide_text.h"
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testing_support {
namespace {

#ifdef _WIN32
constexpr wchar_t kArgumentsVariable[] = L"TUNEWELL_TEST_CHILD";
constexpr char kSeparator = '\x1F';

std::wstring Widen(const std::string& text) {  // the arguments are ASCII: paths and numbers
  return std::wstring(text.begin(), text.end());
}
#endif

}  // namespace

#ifdef _WIN32

ChildProcess::ChildProcess(Main, const std::vector<std::string>& arguments) {
  std::string joined;
  for (const std::string& argument : arguments) joined += argument + kSeparator;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  // Inherited by the child alone: the variable is gone again before anything else starts.
  ProcessOptions options;
  options.captureOutput = options.captureErrors = false;
  ::SetEnvironmentVariableW(kArgumentsVariable, Widen(joined).c_str());
  if (process_.Start({host::Utf8FromWide(self), std::string("--gtest_filter=") +
                                                    test->test_suite_name() + "." + test->name()},
                     options)) {
    id_ = 1;
  }
  ::SetEnvironmentVariableW(kArgumentsVariable, nullptr);
}

ChildProcess::~ChildProcess() = default;  // the process object ends a child still running

int ChildProcess::Wait() {
  if (id_ == 0) return -1;
  id_ = 0;
  const ProcessResult result = process_.Wait();
  return result.exited && !killed_ ? result.status : -1;
}

void ChildProcess::Kill() {
  if (id_ == 0) return;
  killed_ = true;
  process_.Kill();
}

void RunIfChild(ChildProcess::Main main) {
  wchar_t value[32768];
  const DWORD n = ::GetEnvironmentVariableW(kArgumentsVariable, value, 32768);
  if (n == 0 || n >= 32768) return;
  std::vector<std::string> arguments;
  std::string current;
  for (DWORD i = 0; i < n; ++i) {
    if (value[i] == kSeparator) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(value[i]);
    }
  }
  // Straight out: the test program's own checks and files are the parent's business.
  std::_Exit(main(arguments));
}

#else

ChildProcess::ChildProcess(Main main, const std::vector<std::string>& arguments) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(main(arguments));
  id_ = pid > 0 ? pid : 0;
}

ChildProcess::~ChildProcess() {
  if (id_ == 0) return;
  Kill();
  Wait();
}

int ChildProcess::Wait() {
  if (id_ == 0) return -1;
  int status = 0;
  const pid_t pid = static_cast<pid_t>(id_);
  id_ = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void ChildProcess::Kill() {
  if (id_ == 0) return;
  killed_ = true;
  ::kill(static_cast<pid_t>(id_), SIGKILL);
}

void RunIfChild(ChildProcess::Main) {}

#endif

}  // namespace testing_support
