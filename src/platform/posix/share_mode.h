// Windows' file sharing modes on POSIX, kept with advisory locks on the open file: each open
// records what it may do with the file (read, write) and what it denies to every other open
// (read, write), and an open that clashes with one already there is refused, as Windows
// refuses it with a sharing violation. The locks belong to the open file description (Linux
// "OFD" locks), so a second open in the same process clashes just as one in another process
// does, and they go when the last descriptor of that open is closed. Only opens made through
// this layer take part: the locks are advisory.
//
// Used by platform::File only. Any thread may call it, for a descriptor it owns.
#pragma once

namespace platform::posix {

struct ShareMode {
  bool readAccess = false;
  bool writeAccess = false;
  bool denyRead = false;
  bool denyWrite = false;
};

enum class ShareResult {
  kTaken,        // the open's locks are held until its descriptor is closed
  kConflict,     // another open clashes: Windows' sharing violation
  kUnsupported,  // the file system keeps no such locks; nothing is restricted
};

// Records fd's open mode and checks it against the other opens of the same file. Opens racing
// each other settle within a few milliseconds; a clash with an open that stays is kConflict.
ShareResult TakeShareMode(int fd, const ShareMode& mode);

}  // namespace platform::posix
