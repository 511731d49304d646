#include "os/site_launcher.h"

#include <cstdlib>

namespace host {

int PortOfAnnouncement(const std::string& line) {
  if (line.rfind("PORT ", 0) != 0) return 0;
  const int port = std::atoi(line.c_str() + 5);
  return port > 0 && port <= 65535 ? port : 0;
}

}  // namespace host
