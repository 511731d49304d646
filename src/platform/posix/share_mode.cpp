#include "platform/posix/share_mode.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>

namespace platform::posix {
namespace {

// Each fact has a range of bytes far beyond any real file's length, so that these locks never
// meet byte ranges a program might lock in the content. Every open records a fact on a byte of
// its own in that range: a descriptor may only take read locks when open for reading and
// write locks when open for writing, so two opens must never need the same byte.
constexpr off_t kFactSpan = off_t{1} << 40;
constexpr off_t kFactBase = off_t{1} << 62;
enum Fact { kReadAccess, kWriteAccess, kDenyRead, kDenyWrite, kFactCount };

// Racing opens may each see the other's facts and both give way; a few tries, after a short
// random pause, settle it. A clash with an open that stays is reported after the last.
constexpr int kAttempts = 4;

off_t FactByte(Fact fact, std::uint64_t slot) {
  return kFactBase + fact * kFactSpan + static_cast<off_t>(slot % kFactSpan);
}

// A byte no other open in this process uses; the process id keeps processes apart.
std::uint64_t NextSlot() {
  static std::atomic<std::uint64_t> counter{0};
  return (static_cast<std::uint64_t>(::getpid()) << 18) + counter.fetch_add(1);
}

struct flock Range(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return lock;  // l_pid stays 0, as open-file-description locks require
}

// 0 on success, else errno.
int SetLock(int fd, short type, off_t at) {
  struct flock lock = Range(type, at, 1);
  while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Whether another open recorded the fact (asking for an exclusive lock over the range shows
// any lock of any other open; this open's own never count).
bool RecordedElsewhere(int fd, Fact fact) {
  struct flock lock = Range(F_WRLCK, FactByte(fact, 0), kFactSpan);
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

// Windows' rule: the new open must not ask for what an existing open denies, nor deny what an
// existing open already has.
bool Clashes(int fd, const bool (&has)[kFactCount]) {
  return (has[kReadAccess] && RecordedElsewhere(fd, kDenyRead)) ||
         (has[kWriteAccess] && RecordedElsewhere(fd, kDenyWrite)) ||
         (has[kDenyRead] && RecordedElsewhere(fd, kReadAccess)) ||
         (has[kDenyWrite] && RecordedElsewhere(fd, kWriteAccess));
}

void Withdraw(int fd, const bool (&has)[kFactCount], std::uint64_t slot) {
  for (int fact = 0; fact < kFactCount; ++fact) {
    if (has[fact]) SetLock(fd, F_UNLCK, FactByte(static_cast<Fact>(fact), slot));
  }
}

void PauseBriefly() {
  thread_local std::minstd_rand random(static_cast<unsigned>(::getpid()) ^
                                       static_cast<unsigned>(std::hash<std::thread::id>{}(
                                           std::this_thread::get_id())));
  std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 1800));
}

}  // namespace

ShareResult TakeShareMode(int fd, const ShareMode& mode) {
  const int accessMode = ::fcntl(fd, F_GETFL) & O_ACCMODE;
  const short type = accessMode == O_RDONLY ? F_RDLCK : F_WRLCK;
  const bool has[kFactCount] = {mode.readAccess, mode.writeAccess, mode.denyRead, mode.denyWrite};
  for (int attempt = 1;; ++attempt) {
    // Record first, then look: of two opens racing, at least one sees the other.
    const std::uint64_t slot = NextSlot();
    for (int fact = 0; fact < kFactCount; ++fact) {
      if (!has[fact]) continue;
      const int error = SetLock(fd, type, FactByte(static_cast<Fact>(fact), slot));
      if (error == EINVAL || error == ENOLCK || error == EOPNOTSUPP) {
        Withdraw(fd, has, slot);
        return ShareResult::kUnsupported;
      }
    }
    if (!Clashes(fd, has)) return ShareResult::kTaken;
    Withdraw(fd, has, slot);
    if (attempt == kAttempts) return ShareResult::kConflict;
    PauseBriefly();
  }
}

}  // namespace platform::posix
