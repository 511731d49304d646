// Writing a file's new content over the file where it stands, for the files that a copy
// renamed into place would not be (one with other hard links, an owner the user cannot give a
// new file, an attribute that cannot be set): the file keeps its inode and so everything that
// hangs on it. Crash-safe through a backup: a whole copy of the original is made and synced
// beside it under a name that says whose it is (os/posix/temporary_names.h) before the first
// byte of the original changes, and removed only once the new content is on disk. A run killed
// in between leaves the backup, and the next run's RestoreInterruptedWrites puts it back.
#pragma once

#include <string>

#include "os/file_identity.h"

namespace host {

// Writes the content of the file `source` over the file at `real` (no symbolic link), whose
// content must still be the one read (`asRead`; else kChangedDuringRun). False with the reason
// when any step fails; the file then holds its old content.
bool WriteInPlace(const std::string& real, const std::string& source, const FileIdentity& asRead,
                  std::string& error);

// Puts back every backup in the folder that a run no longer running left, and removes it (a
// backup whose file is gone is only removed). Returns how many backups it cleared.
int RestoreInterruptedWrites(const std::string& folder);

}  // namespace host
