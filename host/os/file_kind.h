// What kind of file a path names, asked without waiting on it: a FIFO or a device is looked at
// without being read, so that a name the user gives can be refused with a reason instead of
// hanging the run (a FIFO's open waits for a writer, /dev/zero never ends). Backends in
// os/posix/ and os/windows/. Any thread.
#pragma once

#include <string>

namespace host {

// Why the path cannot be read as a music file ("not a regular file (a FIFO)", "cannot open the
// file: ..."); empty when it names a regular file.
std::string WhyNotRegularFile(const std::string& path);

// Why the path cannot take a log: it exists and is not a regular file, or it lies on the
// kernel's own file systems (/proc, /sys), where a write changes a setting. Empty for a regular
// file or a name where a new file would be made.
std::string WhyNotLogFile(const std::string& path);

}  // namespace host
