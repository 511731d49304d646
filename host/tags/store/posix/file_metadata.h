// Dressing a new file as the file it is to replace: owner and group, extended attributes (a
// POSIX ACL is one of them) and the mode with its special bits. The owner goes first because a
// change of owner clears the set-user-ID and set-group-ID bits; the mode goes last.
#pragma once

#include <sys/stat.h>

namespace host {

// False when any of it cannot be carried over (the owner cannot be given away, an attribute
// cannot be set): the new file would then differ from the original in what it lets whom do,
// and the caller must not put it in the original's place.
bool CarryMetadata(int originalFd, int copyFd, const struct stat& original);

}  // namespace host
