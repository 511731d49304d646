// Opening the files a user names (a --from list, the config file, a --failed list, a log) where
// other people may write: without waiting (a FIFO would block), looked at after opening, a
// regular file only, read within a bound; and the rule for following a symbolic link, which a
// link's maker passes only when they could write what it points to (the spirit of the kernel's
// protected_symlinks, for every folder, whatever the kernel's setting). Any thread.
#pragma once

#include <sys/stat.h>

#include <string>

#include "os/posix/descriptor.h"

namespace host {

// Opens a regular file by a plain path that the user gave (a --from list, a config file): no
// waiting on a FIFO or device, nothing but a regular file. The descriptor, or -1 with a reason.
int OpenRegularFileForReading(const std::string& path, std::string& error);

// Opens a file the user named for the run's output (a --failed list): made when missing,
// emptied when it is a regular file; refused when it is anything else (a FIFO would block, a
// device would take the bytes) or a link that LinkMayBeFollowed refuses. The descriptor, or -1
// with a reason.
int OpenUserOutputFile(const std::string& path, std::string& error);

// Reads a whole regular file or stream, at most `limit` bytes: false with a reason ("larger
// than N bytes") beyond it, so that /dev/zero or a huge file cannot take the memory.
bool ReadBounded(int fd, std::size_t limit, std::string& content, std::string& error);

// Whether a symbolic link owned by `linkOwner` may lead this process to a file described by
// `target`: when this process or root made the link, or the link's owner owns the target.
bool LinkMayBeFollowed(uid_t linkOwner, const struct stat& target);

// "a FIFO", "a device", ... for a file that is not a regular one.
std::string KindOf(mode_t mode);

}  // namespace host
