// Test servers as child processes: the scriptable fault server (fault_server.py beside this
// file) and any other program a test needs on 127.0.0.1 (tinyproxy). Each object starts its
// process in the constructor and ends it in the destructor, so no server outlives its test.
// The Windows test programs run under Wine and their servers are Linux programs, started
// through wine_bridge.py (see there why); paths they are given go through PathForServer.
// Header-only, for the test executables; one test thread at a time.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"

namespace test_servers {

#ifdef _WIN32
using Socket = SOCKET;
using SockLen = int;
inline void CloseSocket(Socket fd) { closesocket(fd); }
inline void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
#else
using Socket = int;
using SockLen = socklen_t;
inline void CloseSocket(Socket fd) { close(fd); }
inline void StartSockets() {}
#endif

// A port on 127.0.0.1 that was free a moment ago.
inline int FreePort() {
  StartSockets();
  Socket fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SockLen length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  CloseSocket(fd);
  return ntohs(address.sin_port);
}

// True once something accepts connections on 127.0.0.1:port (waits up to 10 s).
inline bool WaitForPort(int port) {
  StartSockets();
  for (int attempt = 0; attempt < 200; ++attempt) {
    Socket fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    CloseSocket(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

#ifdef _WIN32

// The Linux name of a Windows path ("C:/users/..." or "C:\users\..."), as a Linux server
// must be given it; any other text unchanged.
inline std::string PathForServer(const std::string& text) {
  const bool windowsPath = text.size() > 2 && text[1] == ':' && (text[2] == '/' || text[2] == '\\');
  using UnixName = char*(CDECL*)(const wchar_t*);
  static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!windowsPath || unixName == nullptr) return text;
  char* name = unixName(std::wstring(text.begin(), text.end()).c_str());
  if (name == nullptr) return text;
  const std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// A Linux program started through the bridge: its output lines come through a file, and
// removing the control file ends it.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    // Wine reuses its small process ids at once: a random name, never one of an earlier run.
    std::random_device random;
    const std::wstring base = std::wstring(folder) + L"tunewell-server-" +
                              std::to_wstring(random()) + L"-" + std::to_wstring(random());
    control_ = base + L".control";
    output_ = base + L".output";
    std::ofstream(control_.c_str()).put('\n');
    std::vector<std::string> bridge = {"python3", "-B",
                                       TUNEWELL_SOURCE_DIR "/tests/servers/wine_bridge.py",
                                       Narrow(control_), Narrow(output_)};
    bridge.insert(bridge.end(), argv.begin(), argv.end());
    for (std::size_t i = 2; i < bridge.size(); ++i) bridge[i] = PathForServer(bridge[i]);
    // Its exit code and standard handles never come back from a Linux program: the bridge
    // runs on alone and ends when the control file goes.
    testing_support::ProcessOptions options;
    options.program = "Z:\\usr\\bin\\python3";
    options.captureOutput = options.captureErrors = false;
    testing_support::Process process;
    if (!process.Start(bridge, options)) {
      DeleteFileW(control_.c_str());
      throw std::runtime_error("cannot start " + argv[0] + " through the bridge");
    }
    process.Detach();
  }
  ~ChildProcess() {
    DeleteFileW(control_.c_str());
    // The bridge removes the output file last, once the server is gone.
    for (int i = 0; i < 100 && GetFileAttributesW(output_.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    DeleteFileW((output_ + L".err").c_str());
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // One line of the child's output without its line end; empty at the end (or after 20 s).
  std::string ReadLine() {
    for (int i = 0; i < 400; ++i) {
      std::ifstream in(output_.c_str(), std::ios::binary);
      std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const std::size_t end = all.find('\n', read_);
      if (end != std::string::npos) {
        std::string text = all.substr(read_, end - read_);
        read_ = end + 1;
        while (!text.empty() && text.back() == '\r') text.pop_back();
        return text;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
  }

 private:
  static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

  std::wstring control_, output_;
  std::size_t read_ = 0;
};

#else

inline std::string PathForServer(const std::string& text) { return text; }

// A server with a pipe to its standard input (the fault server ends when it closes) and one
// from its standard output; its errors go to the test's own.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    testing_support::ProcessOptions options;
    options.inputPipe = true;
    options.captureErrors = false;
    if (!process_.Start(argv, options)) {
      throw std::runtime_error("cannot start " + argv[0]);
    }
  }

  // One line of the child's output without its line end; empty at the end (or after 20 s).
  std::string ReadLine() { return process_.ReadLine(); }

 private:
  testing_support::Process process_;
};

#endif

// fault_server.py on a free port of 127.0.0.1 (see that file for its routes).
class FaultServer {
 public:
  // answerAll: a route that answers every request (fault_server.py --answer-all).
  explicit FaultServer(const std::string& logPath = "", const std::string& answerAll = "")
      : process_(Command(logPath, answerAll)) {
    std::string line = process_.ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("fault server did not start");
    port_ = std::stoi(line.substr(5));
  }
  int port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  // "http://127.0.0.1:<port>" followed by the path (which starts with '/').
  std::string Url(const std::string& path) const { return "http://" + HostPort() + path; }

 private:
  static std::vector<std::string> Command(const std::string& logPath,
                                          const std::string& answerAll) {
    std::vector<std::string> argv = {"python3", TUNEWELL_SOURCE_DIR "/tests/servers/fault_server.py"};
    if (!logPath.empty()) argv.insert(argv.end(), {"--log", logPath});
    if (!answerAll.empty()) argv.insert(argv.end(), {"--answer-all", answerAll});
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
