// Replacing a file's content so that no moment leaves it damaged and nothing that made the file
// that file is lost: a hidden copy of the file is made beside it (same folder, so the same file
// system), the caller edits the copy, and the copy is flushed to disk, given the original's
// owner, group, extended attributes (ACLs) and mode, and renamed over it. Memory does not grow
// with the file: every step goes through the copy on disk. Where the copy cannot be made the
// original's equal (other hard links, an owner the user cannot give away, an attribute that
// cannot be set), its content is written over the original in place behind a synced backup
// instead. Killed at any moment, a run leaves the original as it was or wholly replaced, plus
// at worst a stale copy or a backup, which RecoverEarlierRuns clears or puts back at the next
// run. A file that changed since it was read (os/file_identity.h) is left alone. A symbolic
// link is kept: the file it points to is replaced.
#pragma once

#include <functional>
#include <string>

#include "os/file_identity.h"

namespace host {

// Why the file could not be replaced, for the report ("read-only file", "folder not
// writable", ...); empty when it can. Checked up front so that no search is wasted on a file
// that cannot take its lyrics.
std::string WhyNotReplaceable(const std::string& path);

// Edits the copy (`edit` gets its path and changes it; false with a reason to give up) and puts
// it in the file's place, the file still being the one read (`asRead`; else the error is
// kChangedDuringRun). False with the reason when any step fails; the original is then
// untouched and no copy is left.
using EditCopy = std::function<bool(const std::string& copy, std::string& error)>;
bool ReplaceThroughCopy(const std::string& path, const FileIdentity& asRead, const EditCopy& edit,
                        std::string& error);

// Writes the bytes as the file's whole content, made anew or replaced (through a flushed
// temporary file renamed onto the name, so a reader never sees half of it). False with the
// reason; no temporary file is left then.
bool WriteWholeFile(const std::string& path, const std::string& content, std::string& error);

// What earlier runs killed in the middle left in this folder, recognised by name and by their
// process no longer running: temporary copies are removed, backups of a file being written in
// place are put back. Returns how many entries were cleared.
int RecoverEarlierRuns(const std::string& folder);

}  // namespace host
