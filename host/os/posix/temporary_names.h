// The names of the files a replacement leaves beside a music file while it works: hidden, in
// the same folder, naming the process that made them, so that a later run clears or restores
// only what no running process is using.
//   ".<name>.tunewell-<pid>-XXXXXX"  a temporary copy (mkostemp's six characters)
//   ".<name>.tunewell-backup-<pid>"  a whole, synced copy of the original, kept while the
//                                    original is written in place
#pragma once

#include <string>

namespace host {

// Makes a new temporary file for the named file in its folder; the descriptor, or -1 with
// errno set. `temporary` receives its path.
int MakeTemporaryFile(const std::string& folder, const std::string& name, std::string& temporary);

// The process id in a temporary copy's name; 0 when the name is not one.
long ProcessOfTemporaryName(const std::string& name);

// The backup's name for the named file made by this process; empty when it would be longer
// than a name may be.
std::string BackupNameFor(const std::string& name);

// For a backup's name: the original's name and the process that made it. False for any other
// name.
bool ParseBackupName(const std::string& backup, std::string& original, long& pid);

}  // namespace host
