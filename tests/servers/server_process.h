// Test servers as child processes: the scriptable fault server (fault_server.py beside this
// file) and any other program a test needs on 127.0.0.1 (tinyproxy). Each object starts its
// process in the constructor and ends it in the destructor, so no server outlives its test.
// Header-only, for the test executables; one test thread at a time.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace test_servers {

// A port on 127.0.0.1 that was free a moment ago.
inline int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// True once something accepts connections on 127.0.0.1:port (waits up to 10 s).
inline bool WaitForPort(int port) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// A child process with a pipe to its standard input and one from its standard output.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int failed = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = fdopen(out[0], "r");
    if (failed != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + argv[0]);
    }
  }
  ~ChildProcess() {
    if (stdin_ >= 0) close(stdin_);  // the fault server ends when its input closes
    if (pid_ > 0) {
      for (int i = 0; i < 40 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
        if (i == 20) kill(pid_, SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      }
      if (waitpid(pid_, nullptr, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (stdout_ != nullptr) fclose(stdout_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // One line of the child's output without its line end; empty at the end.
  std::string ReadLine() {
    char line[512];
    if (fgets(line, sizeof line, stdout_) == nullptr) return {};
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  FILE* stdout_ = nullptr;
};

// fault_server.py on a free port of 127.0.0.1 (see that file for its routes).
class FaultServer {
 public:
  explicit FaultServer(const std::string& logPath = "")
      : process_(Command(logPath)) {
    std::string line = process_.ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("fault server did not start");
    port_ = std::stoi(line.substr(5));
  }
  int port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  // "http://127.0.0.1:<port>" followed by the path (which starts with '/').
  std::string Url(const std::string& path) const { return "http://" + HostPort() + path; }

 private:
  static std::vector<std::string> Command(const std::string& logPath) {
    std::vector<std::string> argv = {"python3", TUNEWELL_SOURCE_DIR "/tests/servers/fault_server.py"};
    if (!logPath.empty()) argv.insert(argv.end(), {"--log", logPath});
    return argv;
  }
  ChildProcess process_;
  int port_ = 0;
};

// Percent-encodes every byte but letters and digits, for the fault server's query values.
inline std::string QueryEscape(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out.push_back(static_cast<char>(c));
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}

// The fault server's /raw route answering with exactly these bytes.
inline std::string RawPath(const std::string& response) { return "/raw?r=" + QueryEscape(response); }

}  // namespace test_servers
