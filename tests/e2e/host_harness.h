// What the end-to-end tests of the `tunewell` host share: running a program as a child process
// with its output captured (and, on POSIX, signals sent to it while it runs), the bundled
// lyrics site started on a free port, the site's corpus (the answers the tests compare
// against), and reading facts out of a JSON document with python3's own parser.
// The Windows tests run under Wine: their children are Windows programs (tunewell.exe), while
// the site and python3 are Linux programs started through the servers' bridge.
// Each test owns the processes it starts; destructors stop them. One thread per test.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "os/windows/command_line_argument.h"
#include "os/windows/wide_text.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "servers/server_process.h"
#include "support/corpus.h"
#include "support/temp_dir.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

struct RunResult {
  bool exited = false;  // ended by exit(), not by a signal
  int status = -1;      // its exit status when exited
  int signal = 0;       // the signal that ended it otherwise
  std::string out;
  std::string err;
};

// What the children of both platforms share: the output read so far, and waiting for a text
// in it.
class CapturedOutput {
 public:
  virtual ~CapturedOutput() = default;

  // Reads what the child writes until `text` shows up on stderr (or stdout) or the time is up.
  bool WaitForStderr(const std::string& text, std::chrono::milliseconds limit) {
    return WaitFor(result_.err, text, limit);
  }
  bool WaitForStdout(const std::string& text, std::chrono::milliseconds limit) {
    return WaitFor(result_.out, text, limit);
  }
  const RunResult& SoFar() const { return result_; }

 protected:
  // Reads what the child wrote, waiting up to timeoutMs for something; false once both of its
  // streams are closed.
  virtual bool Pump(int timeoutMs) = 0;
  void ReadToEnd() {
    while (Pump(1000)) {
    }
  }

  RunResult result_;

 private:
  bool WaitFor(const std::string& stream, const std::string& text,
               std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (stream.find(text) == std::string::npos) {
      if (Clock::now() >= end || !Pump(50)) return stream.find(text) != std::string::npos;
    }
    return true;
  }
};

#ifdef _WIN32

// A Windows child process with stdout and stderr captured through pipes; stdin the null device.
class ChildProcess : public CapturedOutput {
 public:
  ChildProcess() = default;
  ~ChildProcess() {
    if (process_ != nullptr) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 10000);
      CloseHandle(process_);
    }
    CloseEnd(out_);
    CloseEnd(err_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::vector<std::string>& argv) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outWrite = nullptr, errWrite = nullptr;
    if (!CreatePipe(&out_, &outWrite, &inherit, 0) || !CreatePipe(&err_, &errWrite, &inherit, 0)) {
      return false;
    }
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_, HANDLE_FLAG_INHERIT, 0);
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring commandLine;
    for (const std::string& argument : argv) {
      commandLine += (commandLine.empty() ? L"" : L" ") +
                     host::QuotedArgument(host::WideFromUtf8(argument));
    }
    PROCESS_INFORMATION started{};
    const BOOL ok = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
    CloseHandle(outWrite);  // the child's copies are its own: the pipes end when it does
    CloseHandle(errWrite);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (!ok) return false;
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    return true;
  }

  RunResult Wait() {
    ReadToEnd();
    DWORD code = 0;
    if (process_ != nullptr && WaitForSingleObject(process_, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process_, &code)) {
      result_.exited = true;
      result_.status = static_cast<int>(code);
    }
    if (process_ != nullptr) CloseHandle(process_);
    process_ = nullptr;
    return result_;
  }

 private:
  static void CloseEnd(HANDLE& end) {
    if (end != nullptr) CloseHandle(end);
    end = nullptr;
  }
  // Anonymous pipes cannot be waited on, so this looks every few milliseconds.
  bool Pump(int timeoutMs) override {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const bool got = Drain(out_, result_.out) | Drain(err_, result_.err);
      if (out_ == nullptr && err_ == nullptr) return false;
      if (got || Clock::now() >= end) return true;
      Sleep(5);
    }
  }

  static bool Drain(HANDLE& end, std::string& sink) {
    DWORD available = 0;
    if (end == nullptr) return false;
    if (!PeekNamedPipe(end, nullptr, 0, nullptr, &available, nullptr)) {
      CloseEnd(end);  // the writer is gone and nothing is left
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

  HANDLE process_ = nullptr;
  HANDLE out_ = nullptr;
  HANDLE err_ = nullptr;
};

#else

// A child process with stdout and stderr captured; stdin /dev/null.
class ChildProcess : public CapturedOutput {
 public:
  ChildProcess() = default;
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseFd(out_);
    CloseFd(err_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::vector<std::string>& argv) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return false;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      const int in = open("/dev/null", O_RDONLY);
      if (in >= 0) dup2(in, STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    return pid_ > 0;
  }

  void Signal(int sig) {
    if (pid_ > 0) kill(pid_, sig);
  }

  // Reads both streams to their end, then reaps the child.
  RunResult Wait() {
    ReadToEnd();
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
      result_.exited = WIFEXITED(status);
      result_.status = result_.exited ? WEXITSTATUS(status) : -1;
      result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    pid_ = -1;
    return result_;
  }

 private:
  static void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  // One poll round.
  bool Pump(int timeoutMs) override {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0) return false;
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0 && errno != EINTR) return false;
    Drain(fds[0], out_, result_.out);
    Drain(fds[1], err_, result_.err);
    return out_ >= 0 || err_ >= 0;
  }

  static void Drain(const pollfd& p, int& fd, std::string& sink) {
    if (fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      sink.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      CloseFd(fd);
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

#endif

// Runs the real `tunewell` binary to its end.
inline RunResult RunHost(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {TUNEWELL_HOST_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child;
  if (!child.Start(argv)) return {};
  return child.Wait();
}

// The bundled lyrics site on a free port of 127.0.0.1, answering for the build's site host.
class BundledSite {
 public:
  // delayMs: every answer held back that long; logFile: one JSON line per request; port: the
  // one to listen on (0: any free one).
  explicit BundledSite(int delayMs = 0, const std::string& logFile = "", int port = 0) {
    std::vector<std::string> argv = {"python3",     TUNEWELL_SOURCE_DIR "/site/server.py",
                                     "--port",      std::to_string(port),
                                     "--host-name", TUNEWELL_SITE_HOST_NAME};
    if (delayMs > 0) argv.insert(argv.end(), {"--delay-ms", std::to_string(delayMs)});
    if (!logFile.empty()) argv.insert(argv.end(), {"--log", logFile});
#ifdef _WIN32
    try {
      process_ = std::make_unique<test_servers::ChildProcess>(argv);
    } catch (const std::exception&) {
      return;
    }
    const std::string line = process_->ReadLine();
#else
    if (!process_.Start(argv)) return;
    process_.WaitForStdout("\n", std::chrono::seconds(20));
    const std::string line = process_.SoFar().out;
#endif
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
  }

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  // The answer to "HttpProxy" that routes the plug-in here.
  std::string proxy() const { return "127.0.0.1:" + std::to_string(port_); }
  void Stop() {
#ifdef _WIN32
    process_.reset();  // the bridge ends the site, and waits for it, when the test lets it go
#else
    process_.Signal(SIGTERM);
    process_.Wait();
#endif
    port_ = 0;
  }

 private:
#ifdef _WIN32
  std::unique_ptr<test_servers::ChildProcess> process_;
#else
  ChildProcess process_;
#endif
  int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens: "HttpProxy" pointed there makes every download
// fail.
inline std::string ClosedProxy() {
  BundledSite site;
  const std::string proxy = site.proxy();
  site.Stop();
  return proxy;
}

using testing_support::Corpus;
using testing_support::CorpusArtist;
using testing_support::CorpusSong;
using testing_support::LoadCorpus;

// The value of a Python expression over the JSON document `d`, printed with str(): for
// example JsonFact(out, "d['song']['title']"). "<invalid JSON: ...>" when it does not parse.
inline std::string JsonFact(const std::string& json, const std::string& expression) {
  const testing_support::TempDir dir;
  std::ofstream(dir.File("document.json"), std::ios::binary) << json;
  test_servers::ChildProcess python({"python3", TUNEWELL_SOURCE_DIR "/tests/e2e/json_fact.py",
                                     dir.File("document.json"), dir.File("answer.txt"),
                                     expression});
  if (python.ReadLine() != "done") return "<python failed on: " + expression + ">";
  return testing_support::ReadFileBytes(dir.File("answer.txt"));
}

// The text with each CR LF turned into LF.
inline std::string Lf(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace e2e
