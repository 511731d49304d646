#include "os/site_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace host {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(5);

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecSite(int output, pid_t parent, const std::vector<char*>& argv) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);  // the host died before the request took hold
  dup2(output, STDOUT_FILENO);
  close(output);
  execvp(argv[0], argv.data());
  static const char kMessage[] = "tunewell: cannot run python3\n";
  const ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(127);
}

bool WaitForExit(int pid, Clock::duration limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

struct SiteLauncher::Child {
  pid_t pid = -1;
  int output = -1;  // read end of the child's stdout

  // Reads the first line of the child's output, for at most kStartTimeout.
  int ReadPort(std::string& error, bool& refused) const;
};

SiteLauncher::SiteLauncher() = default;
SiteLauncher::~SiteLauncher() { Stop(); }

bool SiteLauncher::Start(const std::string& siteFolder, const std::string& hostName, int port,
                         std::string& error) {
  Stop();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("cannot start the site: ") + std::strerror(errno);
    return false;
  }
  std::string script = siteFolder + "/server.py";
  std::string portText = std::to_string(port);
  std::string host = hostName;
  // -B: an installed site lies in a folder that is not the user's to write compiled modules in.
  std::string python = "python3", noBytecode = "-B", portFlag = "--port", hostFlag = "--host-name";
  const std::vector<char*> argv = {python.data(),   noBytecode.data(), script.data(),
                                   portFlag.data(), portText.data(),   hostFlag.data(),
                                   host.data(),     nullptr};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) ExecSite(fds[1], parent, argv);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    error = std::string("cannot start the site: ") + std::strerror(errno);
    return false;
  }
  child_ = std::make_unique<Child>();
  child_->pid = pid;
  child_->output = fds[0];
  refused_ = false;
  port_ = child_->ReadPort(error, refused_);
  if (port_ == 0) {
    Stop();
    return false;
  }
  return true;
}

int SiteLauncher::Child::ReadPort(std::string& error, bool& refused) const {
  std::string line;
  const auto end = Clock::now() + kStartTimeout;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    pollfd wait{output, POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&wait, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      error = "the bundled site did not announce its port within 20 s";
      return 0;
    }
    char buffer[256];
    const ssize_t n = read(output, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "the bundled site ended before it announced its port (see its messages above)";
      return 0;
    }
    line.append(buffer, static_cast<std::size_t>(n));
  }
  line.resize(line.find('\n'));
  const Announcement said = ParseAnnouncement(line);
  refused = said.refused;
  if (said.port == 0) error = said.error;
  return said.port;
}

bool SiteLauncher::Exited() {
  if (child_ == nullptr) return true;
  int status = 0;
  if (waitpid(child_->pid, &status, WNOHANG) != child_->pid) return false;
  child_->pid = -1;
  Stop();
  return true;
}

void SiteLauncher::Stop() {
  if (child_ != nullptr && child_->pid > 0) {
    kill(child_->pid, SIGTERM);
    if (!WaitForExit(child_->pid, kStopTimeout)) {
      kill(child_->pid, SIGKILL);
      WaitForExit(child_->pid, kStopTimeout);
    }
  }
  if (child_ != nullptr && child_->output >= 0) close(child_->output);
  child_.reset();
  port_ = 0;
}

}  // namespace host
