#include "tags/store/posix/in_place_write.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "tags/store/posix/file_io.h"

namespace host {
namespace {

constexpr std::size_t kPiece = 1 << 16;

bool (*writeStep)(int fd, off_t at) = nullptr;

bool ReadAt(int fd, char* into, std::size_t size, off_t at, std::size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n = pread(fd, into + got, size - got, at + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAt(int fd, const char* from, std::size_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = pwrite(fd, from, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    from += n;
    size -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

off_t SizeOf(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 ? info.st_size : -1;
}

// The whole of `from`, from its start, as the start of `to`; false with errno set.
bool CopyFromStart(int from, int to) {
  std::vector<char> buffer(kPiece);
  for (off_t at = 0;; at += static_cast<off_t>(kPiece)) {
    std::size_t got = 0;
    if (!ReadAt(from, buffer.data(), kPiece, at, got)) return false;
    if (got > 0 && !WriteAt(to, buffer.data(), got, at)) return false;
    if (got < kPiece) return true;
  }
}

// Whether two files hold the same bytes.
bool SameContent(int a, int b) {
  if (SizeOf(a) != SizeOf(b)) return false;
  std::vector<char> x(kPiece), y(kPiece);
  for (off_t at = 0;; at += static_cast<off_t>(kPiece)) {
    std::size_t gotX = 0, gotY = 0;
    if (!ReadAt(a, x.data(), kPiece, at, gotX) || !ReadAt(b, y.data(), kPiece, at, gotY) ||
        gotX != gotY || !std::equal(x.begin(), x.begin() + gotX, y.begin())) {
      return false;
    }
    if (gotX < kPiece) return true;
  }
}

// Other programs kept out of the file while it is written: a write lease where the system gives
// one (this user's own file, or root; no one else has it open), under which another program's
// open waits until the lease is given back; and the locks that cooperating programs take.
class KeepOthersOut {
 public:
  explicit KeepOthersOut(int fd) : fd_(fd) {
    // A broken lease is told by a signal; SIGURG's default is to be ignored, so no handler is
    // needed for the lease to work (SIGIO's default would end the process).
    leased_ = fcntl(fd, F_SETSIG, SIGURG) == 0 && fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    constexpr int kTries = 250;  // 5 s: a cooperating run holds them for one file's write
    for (int i = 0; !locked_ && i < kTries; ++i) {
      locked_ = flock(fd, LOCK_EX | LOCK_NB) == 0 && fcntl(fd, F_OFD_SETLK, &range) == 0;
      if (!locked_) usleep(20000);
    }
  }
  ~KeepOthersOut() {
    if (leased_) fcntl(fd_, F_SETLEASE, F_UNLCK);
    flock(fd_, LOCK_UN);  // the record lock goes with the descriptor
  }
  KeepOthersOut(const KeepOthersOut&) = delete;
  KeepOthersOut& operator=(const KeepOthersOut&) = delete;

  bool Locked() const { return locked_; }
  // True while no other program can have opened the file since the lease was taken.
  bool StillAlone() const { return leased_ && fcntl(fd_, F_GETLEASE) == F_WRLCK; }

 private:
  int fd_;
  bool leased_ = false;
  bool locked_ = false;
};

// What the file looked like after this run's last step, to tell another program's change.
struct LastSeen {
  timespec changed{};
  off_t size = 0;
};

bool Remember(int fd, LastSeen& seen) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  seen = LastSeen{info.st_ctim, info.st_size};
  return true;
}

bool ChangedSince(int fd, const LastSeen& seen, const KeepOthersOut& others) {
  if (others.StillAlone()) return false;
  struct stat info {};
  return fstat(fd, &info) != 0 || info.st_size != seen.size ||
         info.st_ctim.tv_sec != seen.changed.tv_sec ||
         info.st_ctim.tv_nsec != seen.changed.tv_nsec;
}

enum class Written { Done, ChangedMeanwhile, Failed };

// The source over the file, piece by piece, looking for another program's change between the
// pieces; `written` is how far the file holds the source.
Written WriteOver(int fd, int source, const KeepOthersOut& others, LastSeen& seen,
                  off_t& written) {
  const off_t size = SizeOf(source);
  std::vector<char> buffer(kPiece);
  written = 0;
  if (size < 0 || !Remember(fd, seen)) return Written::Failed;
  for (off_t at = 0; at < size; at += static_cast<off_t>(kPiece)) {
    if (writeStep != nullptr && !writeStep(fd, at)) {
      errno = EIO;
      return Written::Failed;
    }
    if (ChangedSince(fd, seen, others)) return Written::ChangedMeanwhile;
    std::size_t got = 0;
    if (!ReadAt(source, buffer.data(), kPiece, at, got) || !WriteAt(fd, buffer.data(), got, at) ||
        !Remember(fd, seen)) {
      return Written::Failed;
    }
    written = at + static_cast<off_t>(got);
  }
  if (ChangedSince(fd, seen, others)) return Written::ChangedMeanwhile;
  // A shorter content must not keep the old one's tail.
  if (ftruncate(fd, size) != 0 || !SyncToDisk(fd) || !Remember(fd, seen)) return Written::Failed;
  // Where another program could have written unseen (within one tick of the clock that stamps
  // changes), the file is read back.
  if (!others.StillAlone() && !SameContent(fd, source)) return Written::ChangedMeanwhile;
  return Written::Done;
}

// Another program changed the file while this run wrote it: every byte that still holds what
// this run wrote gets the old byte back; the other program's bytes stay. The size goes back too
// unless the other program set it.
bool TakeBackOurs(int fd, int backup, int source, off_t written, const LastSeen& seen) {
  const off_t oldSize = SizeOf(backup);
  if (oldSize < 0) return false;
  std::vector<char> now(kPiece), ours(kPiece), old(kPiece);
  const off_t end = std::min(written, oldSize);
  for (off_t at = 0; at < end; at += static_cast<off_t>(kPiece)) {
    const std::size_t piece = static_cast<std::size_t>(std::min<off_t>(kPiece, end - at));
    std::size_t a = 0, b = 0, c = 0;
    if (!ReadAt(fd, now.data(), piece, at, a) || !ReadAt(source, ours.data(), piece, at, b) ||
        !ReadAt(backup, old.data(), piece, at, c) || c != piece) {
      return false;
    }
    for (std::size_t i = 0; i < std::min(a, b); ++i) {
      if (now[i] == ours[i]) now[i] = old[i];
    }
    if (!WriteAt(fd, now.data(), a, at)) return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  if (info.st_size == seen.size && info.st_size != oldSize) {
    if (info.st_size > oldSize && ftruncate(fd, oldSize) != 0) return false;
    for (off_t at = info.st_size; at < oldSize; at += static_cast<off_t>(kPiece)) {
      std::size_t got = 0;
      if (!ReadAt(backup, old.data(), kPiece, at, got) || !WriteAt(fd, old.data(), got, at)) {
        return false;
      }
    }
  }
  return SyncToDisk(fd);
}

// The file opened for writing, still the one read.
int OpenForWriting(int folder, const std::string& name, const FileIdentity& asRead) {
  const int fd = openat(folder, name.c_str(),
                        O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat info {};
  if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
                  IdentityOf(info) != asRead)) {
    close(fd);
    errno = ESTALE;
    return -1;
  }
  if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// The original's content, whole and on disk, in the journal folder, recorded in the entry.
int MakeBackup(const RunJournal& journal, JournalEntry& entry, int fd, std::string& name,
               std::string& error) {
  const off_t size = SizeOf(fd);
  if (size < 0 || !RoomFor(journal.Folder(), static_cast<std::uint64_t>(size))) {
    error = "not enough free space for a backup in " + journal.Path();
    return -1;
  }
  // Its name is recorded before it is made, so that a run killed in between leaves no backup
  // the journal does not name.
  name = BackupName();
  if (!entry.Add({"backup", name}, error)) return -1;
  UniqueFd backup(CreateJournalFile(journal, name));
  if (!backup.Valid()) {
    error = "cannot make a backup copy: " + ErrnoText(errno);
    return -1;
  }
  if (!CopyFromStart(fd, backup.Get()) || !SyncToDisk(backup.Get())) {
    error = "cannot make a backup copy: " + ErrnoText(errno);
    unlinkat(journal.Folder(), name.c_str(), 0);
    return -1;
  }
  if (!entry.Add({"backup-made"}, error)) {
    unlinkat(journal.Folder(), name.c_str(), 0);
    return -1;
  }
  return backup.Release();
}

}  // namespace

bool PutBackContent(int file, int backup) {
  const off_t size = SizeOf(backup);
  return size >= 0 && CopyFromStart(backup, file) && ftruncate(file, size) == 0 &&
         SyncToDisk(file);
}

InterruptedWrite ClassifyInterruptedWrite(int file, int before, int after) {
  if (SameContent(file, after)) return InterruptedWrite::AsAfter;
  if (SameContent(file, before)) return InterruptedWrite::AsBefore;
  const off_t size = SizeOf(file), oldSize = SizeOf(before), newSize = SizeOf(after);
  if (size < 0 || oldSize < 0 || newSize < 0) return InterruptedWrite::Other;
  // How far the file holds the new content.
  std::vector<char> x(kPiece), y(kPiece);
  off_t same = 0;
  for (bool going = true; going && same < std::min(size, newSize);) {
    std::size_t a = 0, b = 0;
    if (!ReadAt(file, x.data(), kPiece, same, a) || !ReadAt(after, y.data(), kPiece, same, b)) {
      return InterruptedWrite::Other;
    }
    const std::size_t n = std::min(a, b);
    const auto differ = std::mismatch(x.begin(), x.begin() + n, y.begin()).first;
    same += differ - x.begin();
    going = differ == x.begin() + n && n == kPiece;
  }
  same = std::min(same, size);
  // Grown past the old end: only the new content can be there.
  if (size > oldSize) return same >= size ? InterruptedWrite::Between : InterruptedWrite::Other;
  if (size != oldSize) return InterruptedWrite::Other;
  // The rest must be the old content.
  for (off_t at = same; at < size; at += static_cast<off_t>(kPiece)) {
    std::size_t a = 0, b = 0;
    if (!ReadAt(file, x.data(), kPiece, at, a) || !ReadAt(before, y.data(), kPiece, at, b) ||
        a != b || !std::equal(x.begin(), x.begin() + a, y.begin())) {
      return InterruptedWrite::Other;
    }
  }
  return InterruptedWrite::Between;
}

void SetWriteStepForTesting(bool (*step)(int fd, off_t at)) { writeStep = step; }

bool WriteInPlace(const RunJournal& journal, JournalEntry& entry, int folder,
                  const std::string& name, const FileIdentity& asRead, int source,
                  std::string& error) {
  UniqueFd fd(OpenForWriting(folder, name, asRead));
  if (!fd.Valid()) {
    error = errno == ESTALE || errno == ENOENT || errno == ELOOP
                ? std::string(kChangedDuringRun)
                : "cannot open the file for writing: " + ErrnoText(errno);
    return false;
  }
  std::string backupName;
  UniqueFd backup(MakeBackup(journal, entry, fd.Get(), backupName, error));
  if (!backup.Valid()) return false;
  const auto dropBackup = [&] { unlinkat(journal.Folder(), backupName.c_str(), 0); };
  const KeepOthersOut others(fd.Get());
  struct stat named {};
  if (!others.Locked()) {
    error = "another program holds a lock on the file";
  } else if (fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
             IdentityOf(named) != asRead) {
    error = kChangedDuringRun;
  } else {
    entry.Add({"writing"}, error);
  }
  if (!error.empty()) {
    dropBackup();
    return false;
  }
  LastSeen seen;
  off_t written = 0;
  const Written result = WriteOver(fd.Get(), source, others, seen, written);
  if (result == Written::Done) {
    dropBackup();
    return true;
  }
  const int code = errno;
  const bool undone = result == Written::ChangedMeanwhile
                          ? TakeBackOurs(fd.Get(), backup.Get(), source, written, seen)
                          : PutBackContent(fd.Get(), backup.Get());
  error = result == Written::ChangedMeanwhile ? std::string(kChangedDuringRun)
                                              : "cannot write the file: " + ErrnoText(code);
  if (undone) {
    dropBackup();
  } else {
    // The backup and its record stay for the next run, which puts it back if it can tell.
    entry.Keep();
    error += "; its old content is kept in " + journal.Path() + "/" + backupName;
  }
  return false;
}

}  // namespace host
