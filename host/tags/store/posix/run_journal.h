// The run's own record of the changes it is making to music files, kept where nobody else can
// write: a private folder of the user's (mode 0700, owned by the user). Before each step that
// leaves something behind if the run dies (a copy beside the file, a backup, a write in place)
// the step is recorded and flushed; once the change is complete or undone the entry goes. A
// later run acts on these entries alone, never on names it finds in a music folder, which
// anyone who can write there could have planted.
//
// An entry is a file of its own, locked (flock) by the process that makes it for as long as
// it lives: a later run knows an entry is over by taking that lock, which works across PID
// namespaces and, on a network file system with locking, across machines, where a process
// number would mislead. One thread uses an entry.
#pragma once

#include <string>
#include <vector>

#include "os/posix/descriptor.h"

namespace host {

using JournalRecord = std::vector<std::string>;

class RunJournal {
 public:
  // Opens the folder, making it (and the missing folders above it, 0700) when it is not there;
  // `anchor` must already exist (a missing home is never made). False with the reason when the
  // folder is a link, not this user's, or open to others.
  bool Open(const std::string& folder, const std::string& anchor, std::string& error);

  bool IsOpen() const { return folder_.Valid(); }
  int Folder() const { return folder_.Get(); }
  const std::string& Path() const { return path_; }

 private:
  UniqueFd folder_;
  std::string path_;
};

class JournalEntry {
 public:
  JournalEntry() = default;
  ~JournalEntry() { End(); }
  JournalEntry(const JournalEntry&) = delete;
  JournalEntry& operator=(const JournalEntry&) = delete;

  // Makes the entry with its first record, on disk before it returns. False with the reason.
  bool Begin(const RunJournal& journal, const JournalRecord& record, std::string& error);
  // Appends a record, on disk before it returns. False with the reason.
  bool Add(const JournalRecord& record, std::string& error);
  // The change is complete or undone: the entry goes.
  void End();
  // What the entry describes must outlive this run (it could not be undone): the entry stays,
  // unlocked, for the next run.
  void Keep();
  bool Kept() const { return kept_; }

 private:
  const RunJournal* journal_ = nullptr;
  UniqueFd fd_;
  std::string name_;
  bool kept_ = false;
};

// An entry whose run is over, locked now by this process while it acts on it.
struct LeftEntry {
  std::string name;
  std::vector<JournalRecord> records;  // a torn last record is left out
  UniqueFd lock;
};

// The entries no running process holds, each locked for the caller.
std::vector<LeftEntry> EntriesLeft(const RunJournal& journal);
// The entry is done with: removed.
void RemoveEntry(const RunJournal& journal, LeftEntry& entry);

// A new name for a backup in the journal folder, and the file of that name made (never through
// an existing name); the descriptor, or -1 with errno set.
std::string BackupName();
int CreateJournalFile(const RunJournal& journal, const std::string& name);

// Records as bytes and back (each field length-prefixed, so any byte may be in a field).
std::string EncodeRecord(const JournalRecord& record);
// The records in the bytes, in order, up to the first that is not whole.
std::vector<JournalRecord> DecodeRecords(const std::string& bytes);

}  // namespace host
