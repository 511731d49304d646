// Starts the bundled lyrics site (python3 server.py) as a child process, reads the port it got
// from its first output line ("PORT <n>", or "ERROR <why>" when it cannot listen), and stops
// it again. The child runs in a process
// group of its own, so that Ctrl-C at the terminal reaches only the host, which then stops the
// site itself; and it is told to end if the host dies first, so no site outlives its host.
// On Windows the line comes through a file (server.py --port-file), since a Linux python3
// started under Wine hands back neither its output nor a handle to wait on; removing the file
// stops the site. The launcher owns the child and stops it in its destructor.
// One thread. (Backends: os/posix/, os/windows/.)
#pragma once

#include <memory>
#include <string>

namespace host {

class SiteLauncher {
 public:
  SiteLauncher();
  ~SiteLauncher();
  SiteLauncher(const SiteLauncher&) = delete;
  SiteLauncher& operator=(const SiteLauncher&) = delete;

  // Starts `python3 FOLDER/server.py --port PORT --host-name HOST` and waits (at most 20 s)
  // for its port. False with a message (the child stopped) when it cannot be started or does
  // not announce a port.
  bool Start(const std::string& siteFolder, const std::string& hostName, int port,
             std::string& error);
  int Port() const { return port_; }
  // After a failed Start: whether the site itself refused to start (a port in use, say), as
  // opposed to a site that could not be run or did not answer.
  bool SiteRefused() const { return refused_; }
  bool Running() const { return child_ != nullptr; }
  // True once the child has ended by itself (reaped; Running() turns false).
  bool Exited();
  // Ends the child (SIGTERM, then SIGKILL after 5 s) and reaps it. Does nothing when no child.
  void Stop();

 private:
  struct Child;  // the platform's hold on the running site
  std::unique_ptr<Child> child_;
  int port_ = 0;
  bool refused_ = false;
};

// What the site's first line (its end of line removed) says: the port of "PORT <n>"; for
// "ERROR <why>", no port, refused, and the site's reason as the error; for anything else, no
// port and an error quoting the line.
struct Announcement {
  int port = 0;
  bool refused = false;
  std::string error;
};
Announcement ParseAnnouncement(const std::string& line);

}  // namespace host
