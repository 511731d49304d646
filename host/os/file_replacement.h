// Replacing a file's whole content so that no moment leaves it damaged and nothing that made
// the file that file is lost: the new content goes to a hidden temporary file beside the
// original (same folder, so the same file system), is flushed to disk, takes the original's
// owner, group, extended attributes (ACLs) and mode, and is renamed over it. Where the copy
// cannot be made the original's equal (other hard links, an owner the user cannot give away,
// an attribute that cannot be set), the content is written in place behind a synced backup
// instead. Killed at any moment, a run leaves the original as it was or wholly replaced, plus
// at worst a stale temporary file or a backup, which RecoverEarlierRuns clears or puts back at
// the next run. A file that changed since it was read (os/file_identity.h) is left alone.
// A symbolic link is kept: the file it points to is replaced.
// The seam for the host's own file-system calls (os/posix/ holds the backend). Any thread,
// as long as two threads do not replace the same file.
#pragma once

#include <cstddef>
#include <string>

#include "os/file_identity.h"

namespace host {

// Why the file could not be replaced, for the report ("read-only file", "folder not
// writable", ...); empty when it can. Checked up front so that no search is wasted on a file
// that cannot take its lyrics.
std::string WhyNotReplaceable(const std::string& path);

// Writes the bytes as the file's new content, the file still being the one read (`asRead`;
// else the error is kChangedDuringRun). False with the reason when any step fails; the
// original is then untouched and no temporary file is left.
bool ReplaceFileContent(const std::string& path, const char* data, std::size_t size,
                        const FileIdentity& asRead, std::string& error);

// What earlier runs killed in the middle left in this folder, recognised by name and by their
// process no longer running: temporary copies are removed, backups of a file being written in
// place are put back. Returns how many entries were cleared.
int RecoverEarlierRuns(const std::string& folder);

}  // namespace host
