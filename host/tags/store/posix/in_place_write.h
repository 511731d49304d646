// Writing a file's new content over the file where it stands, for the files that a copy
// renamed into place would not be (one with other hard links, an owner the user cannot give a
// new file, an attribute that cannot be set): the file keeps its inode and so everything that
// hangs on it.
//
// Nothing is lost on the way:
// - a whole copy of the original is made and flushed in the run's private journal folder
//   (tags/store/posix/run_journal.h), and recorded there, before the first byte of the file changes; a
//   run killed in between leaves the record, and the next run puts the old content back if, and
//   only if, the file still holds what an interrupted write leaves (ClassifyInterruptedWrite);
// - while it writes, other programs are kept out where the system allows (a write lease: an
//   open by another program waits until the write is done) and cooperating ones by locks
//   (flock and an open-file-description lock); where neither holds, a change made meanwhile is
//   found between the pieces written and by reading the result back: the run's own bytes are
//   then taken out again, the other program's kept, and the file reported changed during the
//   run;
// - a write that fails half-way is undone from the backup; a shorter new content leaves no old
//   tail (the file is cut to its new length).
// One thread, one file at a time.
#pragma once

#include <sys/types.h>

#include <string>

#include "tags/store/file_identity.h"
#include "tags/store/posix/run_journal.h"

namespace host {

// Writes the content of `source` over the file `name` in `folder`, which must still be the
// file as read (`asRead`; else kChangedDuringRun). `entry` is the change's journal entry, begun
// by the caller, who ends it; it is kept here (JournalEntry::Keep) when the file could not be
// put back as it was, with the backup, for the next run. False with the reason when the file
// was not changed, or was changed back.
bool WriteInPlace(const RunJournal& journal, JournalEntry& entry, int folder,
                  const std::string& name, const FileIdentity& asRead, int source,
                  std::string& error);

// What a file holds after a write in place was cut short, given its content before and the
// content being written.
enum class InterruptedWrite {
  AsBefore,  // nothing had changed yet
  AsAfter,   // the write had finished
  Between,   // the new content up to a point, then the old: what a cut-short write leaves
  Other,     // neither: another program has changed it since
};
InterruptedWrite ClassifyInterruptedWrite(int file, int before, int after);

// The backup's content as the file's whole content, on disk before it returns.
bool PutBackContent(int file, int backup);

// Called before each piece of a write in place with the file and the offset about to be
// written: a test makes another program's change there, or returns false for a write that
// fails (as on a full disk). nullptr: none.
void SetWriteStepForTesting(bool (*step)(int fd, off_t at));

}  // namespace host
