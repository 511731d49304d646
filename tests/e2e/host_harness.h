// What the end-to-end tests of the `tunewell` host share: running a program as a child process
// with its output captured (and signals sent to it while it runs), the bundled lyrics site
// started on a free port, the site's corpus (the answers the tests compare against), and
// reading facts out of a JSON document with python3's own parser.
// Each test owns the processes it starts; destructors stop them. One thread per test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/corpus.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

struct RunResult {
  bool exited = false;  // ended by exit(), not by a signal
  int status = -1;      // its exit status when exited
  int signal = 0;       // the signal that ended it otherwise
  std::string out;
  std::string err;
};

// A child process with stdout and stderr captured; stdin from a file or /dev/null.
class ChildProcess {
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

  // env: extra variables (NAME=VALUE) on top of this process's environment.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
             const std::string& stdinFile = "/dev/null") {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return false;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
      const int in = open(stdinFile.c_str(), O_RDONLY);
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

  // Reads what the child writes until `text` shows up on stderr (or stdout) or the time is up.
  bool WaitForStderr(const std::string& text, std::chrono::milliseconds limit) {
    return WaitFor(result_.err, text, limit);
  }
  bool WaitForStdout(const std::string& text, std::chrono::milliseconds limit) {
    return WaitFor(result_.out, text, limit);
  }

  // Reads both streams to their end, then reaps the child.
  RunResult Wait() {
    while (Pump(1000)) {
    }
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
      result_.exited = WIFEXITED(status);
      result_.status = result_.exited ? WEXITSTATUS(status) : -1;
      result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    pid_ = -1;
    return result_;
  }

  const RunResult& SoFar() const { return result_; }

 private:
  static void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  bool WaitFor(const std::string& stream, const std::string& text,
               std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (stream.find(text) == std::string::npos) {
      if (Clock::now() >= end || !Pump(50)) return stream.find(text) != std::string::npos;
    }
    return true;
  }

  // One poll round; false once both streams are closed.
  bool Pump(int timeoutMs) {
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
  RunResult result_;
};

// Runs the real `tunewell` binary to its end.
inline RunResult RunHost(const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {},
                         const std::string& stdinFile = "/dev/null") {
  std::vector<std::string> argv = {TUNEWELL_HOST_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child;
  if (!child.Start(argv, env, stdinFile)) return {};
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
    if (!process_.Start(argv)) return;
    process_.WaitForStdout("\n", std::chrono::seconds(20));
    const std::string& out = process_.SoFar().out;
    if (out.rfind("PORT ", 0) == 0) port_ = std::atoi(out.c_str() + 5);
  }

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  // The answer to "HttpProxy" that routes the plug-in here.
  std::string proxy() const { return "127.0.0.1:" + std::to_string(port_); }
  void Stop() {
    process_.Signal(SIGTERM);
    process_.Wait();
    port_ = 0;
  }

 private:
  ChildProcess process_;
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
  char path[] = "/tmp/tunewell-e2e-json-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "<no temp file>";
  const ssize_t written = write(fd, json.data(), json.size());
  close(fd);
  if (written != static_cast<ssize_t>(json.size())) return "<short write>";
  const std::string script =
      "import json, sys\n"
      "try:\n"
      "    d = json.loads(sys.stdin.buffer.read().decode('utf-8'))\n"
      "except ValueError as e:\n"
      "    sys.stdout.write('<invalid JSON: %s>' % e); sys.exit(0)\n"
      "sys.stdout.buffer.write(str(eval(sys.argv[1])).encode('utf-8'))\n";
  ChildProcess python;
  python.Start({"python3", "-c", script, expression}, {}, path);
  const RunResult result = python.Wait();
  unlink(path);
  return result.status == 0 ? result.out : "<python failed: " + result.err + ">";
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
