// Opening an address in the desktop's web browser, for `review --open`. (Backend: os/posix/;
// the Windows build has no review.)
#pragma once

#include <string>

namespace host {

// Starts xdg-open on the address and returns without waiting for the browser. False with the
// reason when xdg-open cannot be run.
bool OpenInBrowser(const std::string& address, std::string& error);

}  // namespace host
