#include "support/process.h"

#ifdef _WIN32
#include <windows.h>

#include "os/windows/command_line_argument.h"
#include "os/windows/wide_text.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <cerrno>
#include <thread>

namespace testing_support {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32

namespace {

void CloseEnd(HANDLE& end) {
  if (end != nullptr && end != INVALID_HANDLE_VALUE) CloseHandle(end);
  end = nullptr;
}

// Moves what a pipe holds into sink without blocking; closes the pipe once its writer is gone
// and it is empty.
bool Drain(HANDLE& end, std::string& sink) {
  DWORD available = 0;
  if (end == nullptr) return false;
  if (!PeekNamedPipe(end, nullptr, 0, nullptr, &available, nullptr)) {
    CloseEnd(end);
    return false;
  }
  if (available == 0) return false;
  std::string buffer(available, '\0');
  DWORD read = 0;
  if (!ReadFile(end, buffer.data(), available, &read, nullptr)) {
    CloseEnd(end);
    return false;
  }
  sink.append(buffer, 0, read);
  return read > 0;
}

// A pipe whose one end the child inherits; ours is not inherited.
bool ChildPipe(HANDLE& ours, HANDLE& theirs, bool childReads) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) return false;
  ours = childReads ? write : read;
  theirs = childReads ? read : write;
  SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
  return true;
}

bool NamesAPath(const std::string& program) {
  return program.find_first_of("/\\:") != std::string::npos;
}

}  // namespace

struct Process::Child {
  HANDLE process = nullptr;
  HANDLE in = nullptr, out = nullptr, err = nullptr;
  bool gentle = false;

  ~Child() {
    CloseEnd(in);
    CloseEnd(out);
    CloseEnd(err);
    if (process != nullptr) CloseHandle(process);
  }
};

Process::Process() = default;

Process::~Process() {
  if (child_ == nullptr) return;
  CloseInput();
  if (child_->process != nullptr &&
      WaitForSingleObject(child_->process, child_->gentle ? 500 : 0) == WAIT_TIMEOUT) {
    TerminateProcess(child_->process, 1);
    WaitForSingleObject(child_->process, 10000);
  }
}

bool Process::Start(const std::vector<std::string>& argv, const ProcessOptions& options) {
  if (argv.empty()) return false;
  auto child = std::make_unique<Child>();
  child->gentle = options.inputPipe;
  HANDLE in = nullptr, out = nullptr, err = nullptr;
  bool ok = true;
  if (options.inputPipe) ok = ok && ChildPipe(child->in, in, true);
  if (options.captureOutput) ok = ok && ChildPipe(child->out, out, false);
  if (options.captureErrors) ok = ok && ChildPipe(child->err, err, false);
  const bool wired = options.inputPipe || options.captureOutput || options.captureErrors;
  if (ok && wired && in == nullptr) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     OPEN_EXISTING, 0, nullptr);
  }
  std::wstring commandLine;
  for (const std::string& argument : argv) {
    commandLine += (commandLine.empty() ? L"" : L" ") +
                   host::QuotedArgument(host::WideFromUtf8(argument));
  }
  // Named by its path, a program is started as it is (a Linux one under Wine too, which has no
  // ".exe" for the search to add); a bare name is searched for.
  const std::string& file = options.program.empty() ? argv[0] : options.program;
  const std::wstring program = host::WideFromUtf8(file);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (wired) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out != nullptr ? out : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = err != nullptr ? err : GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION started{};
  ok = ok && CreateProcessW(NamesAPath(file) ? program.c_str() : nullptr, commandLine.data(),
                            nullptr, nullptr, wired ? TRUE : FALSE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &startup, &started);
  CloseEnd(in);  // the child's copies are its own: the pipes end when it does
  CloseEnd(out);
  CloseEnd(err);
  if (!ok) return false;
  CloseHandle(started.hThread);
  child->process = started.hProcess;
  child_ = std::move(child);
  return true;
}

// Anonymous pipes cannot be waited on, so this looks every few milliseconds.
bool Process::Pump(int timeoutMs) {
  if (child_ == nullptr) return false;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool got = Drain(child_->out, result_.out) | Drain(child_->err, result_.err);
    if (child_->out == nullptr && child_->err == nullptr) return false;
    if (got || Clock::now() >= end) return true;
    Sleep(5);
  }
}

void Process::CloseInput() {
  if (child_ != nullptr) CloseEnd(child_->in);
}

void Process::Signal(int) {}

ProcessResult Process::Wait() {
  while (Pump(1000)) {
  }
  DWORD code = 0;
  if (child_ != nullptr && child_->process != nullptr &&
      WaitForSingleObject(child_->process, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(child_->process, &code)) {
    result_.exited = true;
    result_.status = static_cast<int>(code);
  }
  child_.reset();
  return result_;
}

void Process::Kill() {
  if (child_ == nullptr || child_->process == nullptr) return;
  TerminateProcess(child_->process, 1);
  WaitForSingleObject(child_->process, 10000);
}

void Process::Detach() { child_.reset(); }

#else

namespace {

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// One read of a stream poll found ready; closes it at its end.
void Drain(const pollfd& p, int& fd, std::string& sink) {
  if (fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
  char buffer[65536];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) {
    sink.append(buffer, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    CloseFd(fd);
  }
}

bool Ended(pid_t pid, int waitMs) {
  for (int waited = 0;; waited += 25) {
    if (waitpid(pid, nullptr, WNOHANG) != 0) return true;
    if (waited >= waitMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

}  // namespace

struct Process::Child {
  pid_t pid = -1;
  int in = -1, out = -1, err = -1;
  bool gentle = false;

  ~Child() {
    CloseFd(in);
    CloseFd(out);
    CloseFd(err);
  }
};

Process::Process() = default;

Process::~Process() {
  if (child_ == nullptr || child_->pid <= 0) return;
  CloseInput();
  const pid_t pid = child_->pid;
  if (child_->gentle) {
    if (Ended(pid, 500)) return;
    kill(pid, SIGTERM);
    if (Ended(pid, 500)) return;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool Process::Start(const std::vector<std::string>& argv, const ProcessOptions& options) {
  if (argv.empty()) return false;
  auto child = std::make_unique<Child>();
  child->gentle = options.inputPipe;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  bool ok = true;
  if (options.inputPipe) ok = ok && pipe2(in, O_CLOEXEC) == 0;
  if (options.captureOutput) ok = ok && pipe2(out, O_CLOEXEC) == 0;
  if (options.captureErrors) ok = ok && pipe2(err, O_CLOEXEC) == 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.inputPipe) {
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (options.captureOutput) posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (options.captureErrors) posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const char* file = options.program.empty() ? args[0] : options.program.c_str();
  ok = ok && posix_spawnp(&child->pid, file, &actions, nullptr, args.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  // The child's ends are its own now: each pipe ends when the child does.
  for (int* end : {&in[0], &out[1], &err[1]}) CloseFd(*end);
  child->in = in[1];
  child->out = out[0];
  child->err = err[0];
  if (!ok) {
    child->pid = -1;
    return false;
  }
  child_ = std::move(child);
  return true;
}

bool Process::Pump(int timeoutMs) {
  if (child_ == nullptr || (child_->out < 0 && child_->err < 0)) return false;
  pollfd fds[2] = {{child_->out, POLLIN, 0}, {child_->err, POLLIN, 0}};
  const int ready = poll(fds, 2, timeoutMs);
  if (ready < 0 && errno != EINTR) return false;
  Drain(fds[0], child_->out, result_.out);
  Drain(fds[1], child_->err, result_.err);
  return child_->out >= 0 || child_->err >= 0;
}

void Process::CloseInput() {
  if (child_ != nullptr) CloseFd(child_->in);
}

void Process::Signal(int signal) {
  if (child_ != nullptr && child_->pid > 0) kill(child_->pid, signal);
}

ProcessResult Process::Wait() {
  while (Pump(1000)) {
  }
  int status = 0;
  if (child_ != nullptr && child_->pid > 0 && waitpid(child_->pid, &status, 0) == child_->pid) {
    result_.exited = WIFEXITED(status);
    result_.status = result_.exited ? WEXITSTATUS(status) : -1;
    result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  child_.reset();
  return result_;
}

void Process::Kill() { Signal(SIGKILL); }

void Process::Detach() { child_.reset(); }

#endif

bool Process::WaitFor(const std::string& stream, const std::string& text,
                      std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (stream.find(text) == std::string::npos) {
    if (Clock::now() >= end || !Pump(50)) return stream.find(text) != std::string::npos;
  }
  return true;
}

bool Process::WaitForStdout(const std::string& text, std::chrono::milliseconds limit) {
  return WaitFor(result_.out, text, limit);
}

bool Process::WaitForStderr(const std::string& text, std::chrono::milliseconds limit) {
  return WaitFor(result_.err, text, limit);
}

std::string Process::ReadLine(std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  std::size_t lineEnd;
  bool open = true;
  while ((lineEnd = result_.out.find('\n', lineStart_)) == std::string::npos && open &&
         Clock::now() < end) {
    open = Pump(50);
  }
  if (lineEnd == std::string::npos && open) return {};  // no whole line in time
  std::string line = result_.out.substr(lineStart_, lineEnd == std::string::npos
                                                        ? std::string::npos
                                                        : lineEnd - lineStart_);
  lineStart_ = lineEnd == std::string::npos ? result_.out.size() : lineEnd + 1;
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace testing_support
