#include "os/site_launcher.h"

#include <cstdlib>

namespace host {

Announcement ParseAnnouncement(const std::string& line) {
  Announcement said;
  if (line.rfind("ERROR ", 0) == 0) {
    said.refused = true;
    said.error = "the bundled site cannot start: " + line.substr(6);
    return said;
  }
  const int port = line.rfind("PORT ", 0) == 0 ? std::atoi(line.c_str() + 5) : 0;
  if (port > 0 && port <= 65535) {
    said.port = port;
  } else {
    said.error = "the bundled site announced no port but \"" + line + "\"";
  }
  return said;
}

}  // namespace host
