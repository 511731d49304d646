// Replacing a music file's content so that no moment leaves it damaged, nothing that made the
// file that file is lost, and nobody else who can write in its folder can steer the run.
//
// A hidden copy of the file is made beside it (same folder, so the same file system) under a
// name nobody can foresee, the caller edits the copy through its descriptor, and the copy is
// flushed, given the original's owner, group, extended attributes (ACLs) and mode, and
// exchanged with the original in one step; the original, now under the copy's name, is
// removed once it is seen to be still as read (else the exchange is undone). Where the copy
// cannot be the original's equal (other hard links, an owner the user cannot give away, an
// attribute that cannot be set), the content is written over the original in place
// (tags/store/posix/in_place_write.h). Memory does not grow with the file.
//
// Every folder is held open and every step done relative to it (tags/store/posix/located_file.h). Each
// change is recorded in the run's private journal (tags/store/posix/run_journal.h) before its first
// step; killed at any moment, a run leaves the original as it was or wholly replaced, plus at
// worst a stale copy or a backup, which RecoverInterruptedChanges of a later run clears or puts
// back from the journal alone. A file that changed since it was read (tags/store/file_identity.h) is
// left alone. A symbolic link is kept: the file it points to is replaced, when whoever made the
// link could write that file.
//
// POSIX only (the Windows build has no tag work). One thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tags/store/file_identity.h"
#include "tags/store/file_location.h"
#include "tags/store/posix/run_journal.h"

namespace host {

// Why the file could not be replaced, for the report ("read-only file", "folder not
// writable", ...); empty when it can. Checked up front so that no search is wasted on a file
// that cannot take its lyrics.
std::string WhyNotReplaceable(const FileLocation& where);

// Edits the copy, given as an open descriptor (read and write); false with a reason to give up.
using EditCopy = std::function<bool(int copy, std::string& error)>;

// Edits a copy of the file and puts it in the file's place, the file still being the one read
// (`asRead`; else the error is kChangedDuringRun). False with the reason when any step fails;
// the original is then as it was and no copy is left.
bool ReplaceThroughCopy(const RunJournal& journal, const FileLocation& where,
                        const FileIdentity& asRead, const EditCopy& edit, std::string& error);

// Writes the bytes as the file `name` beside the located file (a sidecar), made anew, or
// replacing one that this user's runs wrote and nobody changed since (recorded in the journal
// folder); any other file of that name is kept and the write refused with a reason. The file
// gets the located file's owner and group where this process may give them. False with the
// reason; nothing is left behind then.
bool WriteSidecar(const RunJournal& journal, const FileLocation& where, const std::string& name,
                  const std::string& content, std::string& error);

// Acts on what earlier runs of this user, killed in the middle, left in the journal: their
// copies are removed and their backups put back, each only where the file and folder are still
// exactly as the journal says. What cannot be decided safely is left, and said in `notes` (one
// line each). Returns how many entries were cleared.
int RecoverInterruptedChanges(const RunJournal& journal, std::vector<std::string>& notes);

}  // namespace host
