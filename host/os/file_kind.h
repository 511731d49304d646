// What kind of file a path names, asked without waiting on it: a FIFO or a device is looked at
// without being read, so that a name the user gives can be refused with a reason instead of
// hanging the run (a FIFO's open waits for a writer, /dev/zero never ends). Backends in
// os/posix/ and os/windows/. Any thread.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Why the path cannot be read as a music file ("not a regular file (a FIFO)", "cannot open the
// file: ..."); empty when it names a regular file.
std::string WhyNotRegularFile(const std::string& path);

// Reads a small file the user keeps (the config file) whole: a regular file only, opened
// without waiting (a FIFO or device is refused, never read), at most `limit` bytes. False with
// the reason ("not a regular file (a FIFO)", "larger than N bytes", the system's reason).
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& content,
                   std::string& error);

// Whether the path names a folder (not a link to one) that belongs to the user running this
// process. (On Windows, whose temporary folder is the user's own: any folder.)
bool IsOwnFolder(const std::string& path);

}  // namespace host
