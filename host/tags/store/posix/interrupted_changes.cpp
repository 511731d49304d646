// What a later run does with the journal entries of runs that died in the middle of a change:
// it acts only where the folder and the file are still exactly what the entry says, removes
// only the copies whose identity it recorded, and puts a backup back only over a file that
// holds what an interrupted write leaves. Anything else was changed by someone since: it is
// left, and said.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "tags/store/file_replacement.h"
#include "tags/store/posix/file_io.h"
#include "tags/store/posix/in_place_write.h"

namespace host {
namespace {

// An entry's records, read back.
struct Change {
  std::string folderPath;
  std::uint64_t folderDevice = 0, folderInode = 0;
  std::string name;
  FileIdentity asRead;
  std::string copy;  // the copy's name, when one was to be made
  std::optional<std::pair<std::uint64_t, std::uint64_t>> copyMade;  // its device and inode
  std::string backup;  // in the journal folder
  bool backupMade = false;
  bool writing = false;  // a write in place had begun
};

bool ToNumber(const std::string& text, std::uint64_t& number) {
  if (text.empty() || text.size() > 20) return false;
  number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

bool ToNumber(const std::string& text, std::int64_t& number) {
  std::uint64_t n = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!ToNumber(negative ? text.substr(1) : text, n)) return false;
  number = negative ? -static_cast<std::int64_t>(n) : static_cast<std::int64_t>(n);
  return true;
}

bool Parse(const std::vector<JournalRecord>& records, Change& change) {
  if (records.empty() || records[0].size() != 10 || records[0][0] != "change") return false;
  const JournalRecord& first = records[0];
  change.folderPath = first[1];
  change.name = first[4];
  if (!ToNumber(first[2], change.folderDevice) || !ToNumber(first[3], change.folderInode) ||
      !ToNumber(first[5], change.asRead.device) || !ToNumber(first[6], change.asRead.inode) ||
      !ToNumber(first[7], change.asRead.size) || !ToNumber(first[8], change.asRead.modifiedNs) ||
      !ToNumber(first[9], change.asRead.changedNs)) {
    return false;
  }
  for (std::size_t i = 1; i < records.size(); ++i) {
    const JournalRecord& r = records[i];
    std::uint64_t device = 0, inode = 0;
    if (r[0] == "copy" && r.size() == 2) {
      change.copy = r[1];
    } else if (r[0] == "copy-made" && r.size() == 3 && ToNumber(r[1], device) &&
               ToNumber(r[2], inode)) {
      change.copyMade.emplace(device, inode);
    } else if (r[0] == "backup" && r.size() == 2) {
      change.backup = r[1];
    } else if (r[0] == "backup-made") {
      change.backupMade = true;
    } else if (r[0] == "writing") {
      change.writing = true;
    }
  }
  return true;
}

std::string FilePath(const Change& change) { return change.folderPath + "/" + change.name; }

// The folder, when it is still the one the entry names.
UniqueFd OpenSameFolder(const Change& change) {
  UniqueFd folder(open(change.folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (!folder.Valid() || fstat(folder.Get(), &info) != 0 ||
      info.st_dev != change.folderDevice || info.st_ino != change.folderInode) {
    folder.Reset();
  }
  return folder;
}

// A file in the folder, opened without following a link, when it is the one with this device
// and inode.
UniqueFd OpenSame(int folder, const std::string& name, std::uint64_t device, std::uint64_t inode,
                  int flags) {
  UniqueFd fd(openat(folder, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_dev != device || info.st_ino != inode) {
    fd.Reset();
  }
  return fd;
}

// The copy beside the file: removed when it is this run's copy, or the original left under the
// copy's name by an exchange and unchanged since; anything else is not the journal's to remove.
void RemoveCopy(int folder, const Change& change, std::vector<std::string>& notes) {
  if (change.copy.empty()) return;
  struct stat info {};
  if (fstatat(folder, change.copy.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
  // Killed between making the copy and recording its identity: the name was recorded before,
  // and nobody could have foreseen it (a random part); a file of that name is the copy.
  const bool copyMade = change.copyMade ? info.st_dev == change.copyMade->first &&
                                              info.st_ino == change.copyMade->second
                                        : S_ISREG(info.st_mode);
  const FileIdentity now = IdentityOf(info);
  const bool original = S_ISREG(info.st_mode) && now.device == change.asRead.device &&
                        now.inode == change.asRead.inode;
  if (copyMade || (original && now.size == change.asRead.size &&
                   now.modifiedNs == change.asRead.modifiedNs)) {
    unlinkat(folder, change.copy.c_str(), 0);
  } else if (original) {
    notes.push_back(FilePath(change) + ": an interrupted run left the file's earlier version, "
                    "changed by another program meanwhile, as " + change.folderPath + "/" +
                    change.copy + "; it is kept");
  }
}

enum class Verdict { Cleared, Left };

// A write in place had begun: the old content goes back when the file holds what such a write
// leaves; a file that holds something else has been changed since, and stays as it is.
Verdict SettleWrite(const RunJournal& journal, int folder, const Change& change,
                    std::vector<std::string>& notes) {
  const std::string kept = "; its earlier content is kept in " + journal.Path() + "/" +
                           change.backup;
  UniqueFd backup(openat(journal.Folder(), change.backup.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!backup.Valid()) return Verdict::Cleared;  // nothing left to put back (removed by hand)
  UniqueFd file = folder < 0 ? UniqueFd()
                             : OpenSame(folder, change.name, change.asRead.device,
                                        change.asRead.inode, O_RDWR);
  if (!file.Valid()) {
    notes.push_back(FilePath(change) + ": an earlier run was interrupted while writing it, and "
                    "the file or its folder is gone or replaced since" + kept);
    return Verdict::Left;
  }
  UniqueFd copy;
  if (change.copyMade) {
    copy = OpenSame(folder, change.copy, change.copyMade->first, change.copyMade->second,
                    O_RDONLY);
  }
  // Without the copy (removed by someone) only a file still as it was can be told.
  const InterruptedWrite state =
      ClassifyInterruptedWrite(file.Get(), backup.Get(), copy.Valid() ? copy.Get() : backup.Get());
  if (state == InterruptedWrite::Between) {
    if (!PutBackContent(file.Get(), backup.Get())) {
      notes.push_back(FilePath(change) + ": cannot put back the content an interrupted run "
                      "was replacing: " + ErrnoText(errno) + kept);
      return Verdict::Left;
    }
    notes.push_back(FilePath(change) + ": put back as it was before an interrupted run");
  } else if (state == InterruptedWrite::Other) {
    notes.push_back(FilePath(change) + ": changed since an earlier run was interrupted while "
                    "writing it; left as it is" + kept);
    return Verdict::Left;
  }
  return Verdict::Cleared;
}

}  // namespace

int RecoverInterruptedChanges(const RunJournal& journal, std::vector<std::string>& notes) {
  int cleared = 0;
  for (LeftEntry& entry : EntriesLeft(journal)) {
    Change change;
    if (!Parse(entry.records, change)) {
      RemoveEntry(journal, entry);  // its first step never began
      continue;
    }
    const UniqueFd folder = OpenSameFolder(change);
    const bool left = change.writing && change.backupMade &&
                      SettleWrite(journal, folder.Get(), change, notes) == Verdict::Left;
    // The copy has served either way: what was decided needs only the backup now.
    if (folder.Valid()) RemoveCopy(folder.Get(), change, notes);
    if (left) continue;
    if (!change.backup.empty()) unlinkat(journal.Folder(), change.backup.c_str(), 0);
    RemoveEntry(journal, entry);
    ++cleared;
  }
  return cleared;
}

}  // namespace host
