#include "tags/store/posix/run_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <cstring>

#include "tags/store/posix/file_io.h"
#include "os/posix/random_name.h"

namespace host {
namespace {

constexpr const char* kEntryPrefix = "entry-";
constexpr const char* kNewPrefix = "new-";  // an entry being made
constexpr std::size_t kMaxEntryBytes = 1 << 20;  // a few paths and numbers; more is not ours

// A folder of this user's that no one else can write or read into.
bool IsPrivate(int folder, std::string& error) {
  struct stat info {};
  if (fstat(folder, &info) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  if (info.st_uid != geteuid()) {
    error = "it belongs to another user";
    return false;
  }
  if ((info.st_mode & 077) != 0 && fchmod(folder, 0700) != 0) {
    error = "it is open to other users and cannot be made private";
    return false;
  }
  return true;
}

// Makes each missing folder below the anchor, private from the start.
bool MakeBelow(const std::string& anchor, const std::string& folder, std::string& error) {
  struct stat info {};
  if (stat(anchor.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = anchor + " does not exist";
    return false;
  }
  for (std::size_t at = anchor.size(); at <= folder.size(); ++at) {
    if (at < folder.size() && folder[at] != '/') continue;
    const std::string step = folder.substr(0, at);
    if (step.size() > anchor.size() && mkdir(step.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot make " + step + ": " + ErrnoText(errno);
      return false;
    }
  }
  return true;
}

bool ReadAll(int fd, std::string& bytes) {
  bytes.clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxEntryBytes) return false;
  }
}

bool Flushed(int fd) { return SyncToDisk(fd); }

}  // namespace

std::string EncodeRecord(const JournalRecord& record) {
  std::string fields;
  for (const std::string& field : record) fields += std::to_string(field.size()) + ":" + field;
  return std::to_string(fields.size()) + ":" + fields + "\n";
}

namespace {

// A length, a colon, then that many bytes, from `at`; false when the bytes are not one.
bool TakeSized(const std::string& bytes, std::size_t& at, std::string& taken) {
  const std::size_t colon = bytes.find(':', at);
  if (colon == std::string::npos || colon == at || colon - at > 12) return false;
  std::size_t length = 0;
  for (std::size_t i = at; i < colon; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return false;
    length = length * 10 + static_cast<std::size_t>(bytes[i] - '0');
  }
  if (length > bytes.size() - colon - 1) return false;
  taken = bytes.substr(colon + 1, length);
  at = colon + 1 + length;
  return true;
}

}  // namespace

std::vector<JournalRecord> DecodeRecords(const std::string& bytes) {
  std::vector<JournalRecord> records;
  std::size_t at = 0;
  std::string fields;
  while (at < bytes.size() && TakeSized(bytes, at, fields) && at < bytes.size() &&
         bytes[at] == '\n') {
    ++at;
    JournalRecord record;
    std::size_t in = 0;
    std::string field;
    while (in < fields.size() && TakeSized(fields, in, field)) record.push_back(field);
    if (in != fields.size() || record.empty()) break;
    records.push_back(std::move(record));
  }
  return records;
}

bool RunJournal::Open(const std::string& folder, const std::string& anchor, std::string& error) {
  folder_.Reset();
  path_ = folder;
  if (!MakeBelow(anchor, folder, error)) return false;
  folder_.Reset(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder_.Valid()) {
    error = "cannot open " + folder + ": " + ErrnoText(errno);
    return false;
  }
  std::string why;
  if (!IsPrivate(folder_.Get(), why)) {
    folder_.Reset();
    error = folder + " cannot keep the run's journal: " + why;
    return false;
  }
  return true;
}

bool JournalEntry::Begin(const RunJournal& journal, const JournalRecord& record,
                         std::string& error) {
  End();
  journal_ = &journal;
  // Made under a name no later run acts on, locked and given its first record, and only then
  // named as an entry: a later run never sees an entry that is not yet held.
  std::string made;
  fd_.Reset(CreateNewFileIn(journal.Folder(), kNewPrefix, 0600, made));
  if (!fd_.Valid() || flock(fd_.Get(), LOCK_EX) != 0) {
    error = "cannot write the run's journal in " + journal.Path() + ": " + ErrnoText(errno);
    if (fd_.Valid()) unlinkat(journal.Folder(), made.c_str(), 0);
    fd_.Reset();
    return false;
  }
  name_ = kEntryPrefix + made.substr(std::strlen(kNewPrefix));
  if (!Add(record, error) ||
      renameat(journal.Folder(), made.c_str(), journal.Folder(), name_.c_str()) != 0) {
    if (error.empty()) error = "cannot write the run's journal: " + ErrnoText(errno);
    unlinkat(journal.Folder(), made.c_str(), 0);
    fd_.Reset();
    return false;
  }
  SyncToDisk(journal.Folder());
  return true;
}

bool JournalEntry::Add(const JournalRecord& record, std::string& error) {
  const std::string bytes = EncodeRecord(record);
  if (!fd_.Valid() || !WriteAll(fd_.Get(), bytes.data(), bytes.size()) || !Flushed(fd_.Get())) {
    error = "cannot write the run's journal in " + (journal_ ? journal_->Path() : "") + ": " +
            ErrnoText(errno);
    return false;
  }
  return true;
}

void JournalEntry::End() {
  if (!fd_.Valid()) return;
  unlinkat(journal_->Folder(), name_.c_str(), 0);
  fd_.Reset();  // the lock goes with it
}

void JournalEntry::Keep() {
  kept_ = fd_.Valid();
  fd_.Reset();
}

std::vector<LeftEntry> EntriesLeft(const RunJournal& journal) {
  std::vector<LeftEntry> left;
  const int listing = dup(journal.Folder());
  DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
  if (dir == nullptr) {
    if (listing >= 0) close(listing);
    return left;
  }
  rewinddir(dir);
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name.starts_with(kNewPrefix)) {
      // Died before its entry was named: no step had begun.
      UniqueFd made(openat(journal.Folder(), name.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      // (A minute old at least: one just made is locked a moment after it is made.)
      struct stat info {};
      if (made.Valid() && fstat(made.Get(), &info) == 0 && info.st_mtime + 60 < time(nullptr) &&
          flock(made.Get(), LOCK_EX | LOCK_NB) == 0) {
        unlinkat(journal.Folder(), name.c_str(), 0);
      }
      continue;
    }
    if (!name.starts_with(kEntryPrefix)) continue;
    UniqueFd fd(openat(journal.Folder(), name.c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
      continue;  // a running process holds it
    }
    std::string bytes;
    if (!ReadAll(fd.Get(), bytes)) continue;
    left.push_back(LeftEntry{name, DecodeRecords(bytes), std::move(fd)});
  }
  closedir(dir);
  return left;
}

void RemoveEntry(const RunJournal& journal, LeftEntry& entry) {
  unlinkat(journal.Folder(), entry.name.c_str(), 0);
  SyncToDisk(journal.Folder());
  entry.lock.Reset();
}

std::string BackupName() { return "backup-" + RandomNamePart(); }

int CreateJournalFile(const RunJournal& journal, const std::string& name) {
  return openat(journal.Folder(), name.c_str(),
                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
}

}  // namespace host
