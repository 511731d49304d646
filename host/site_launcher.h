// Starts the bundled lyrics site (python3 server.py) as a child process, reads the port it got
// from its first output line ("PORT <n>"), and stops it again. The child runs in a process
// group of its own, so that Ctrl-C at the terminal reaches only the host, which then stops the
// site itself; and it is told to end if the host dies first, so no site outlives its host.
// The launcher owns the child (by its process id) and stops it in its destructor.
// One thread.
#pragma once

#include <string>
#include <vector>

namespace host {

class SiteLauncher {
 public:
  SiteLauncher() = default;
  ~SiteLauncher();
  SiteLauncher(const SiteLauncher&) = delete;
  SiteLauncher& operator=(const SiteLauncher&) = delete;

  // Starts `python3 FOLDER/server.py --port PORT --host-name HOST` and waits (at most 20 s)
  // for its port. False with a message (the child stopped) when it cannot be started or does
  // not announce a port.
  bool Start(const std::string& siteFolder, const std::string& hostName, int port,
             std::string& error);
  int Port() const { return port_; }
  bool Running() const { return pid_ > 0; }
  // True once the child has ended by itself (reaped; Running() turns false).
  bool Exited();
  // Ends the child (SIGTERM, then SIGKILL after 5 s) and reaps it. Does nothing when no child.
  void Stop();

 private:
  bool ReadPort(std::string& error);

  int pid_ = -1;
  int output_ = -1;  // read end of the child's stdout
  int port_ = 0;
};

}  // namespace host
