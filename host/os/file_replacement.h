// Replacing a file's whole content so that no moment leaves it damaged: the new content goes
// to a hidden temporary file beside the original (same folder, so the same file system), is
// flushed to disk, takes the original's permissions (and owner, where allowed) and is renamed
// over it. Killed at any moment, a run leaves the original as it was or wholly replaced, plus
// at worst a stale temporary file, which RemoveStaleTemporaryFiles clears at the next run.
// A symbolic link is kept: the file it points to is replaced.
// The seam for the host's own file-system calls (os/posix/ holds the backend). Any thread,
// as long as two threads do not replace the same file.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Why the file could not be replaced, for the report ("read-only file", "folder not
// writable", ...); empty when it can. Checked up front so that no search is wasted on a file
// that cannot take its lyrics.
std::string WhyNotReplaceable(const std::string& path);

// Writes the bytes as the file's new content through a temporary copy. False with the reason
// when any step fails; the original is then untouched and no temporary file is left.
bool ReplaceFileContent(const std::string& path, const char* data, std::size_t size,
                        std::string& error);

// Removes the temporary files that an earlier run left in this folder (a run killed before
// its rename), recognised by their name and by their process no longer running. Returns how
// many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);

// True for a name that ReplaceFileContent gives its temporary files.
bool IsTemporaryFileName(const std::string& name);

}  // namespace host
