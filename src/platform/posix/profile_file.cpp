#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/file.h"
#include "platform/system_error.h"

namespace platform {
namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

ProfileStamp StampOf(const struct stat& st) {
  ProfileStamp stamp;
  stamp.volume = static_cast<std::uint64_t>(st.st_dev);
  stamp.identity = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modified = Nanoseconds(st.st_mtim);
  stamp.changed = Nanoseconds(st.st_ctim);
  return stamp;
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Gives up ownership without closing.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Only a regular file is a cache: opening a FIFO would wait for a writer that never comes, a
// terminal could become the process's own, so the open does neither and the type is checked
// before anything is read. Non-blocking reads of a regular file are ordinary reads.
constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// Windows tells a missing folder (3) from a missing file (2).
std::uint32_t OpenError(int errnoValue, bool creating) {
  if (errnoValue == ENOENT && creating) return error::kPathNotFound;
  return ErrorFromErrno(errnoValue);
}

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// A new file beside the target, named after it and this process, created exclusively.
int CreateTemporary(const std::string& native, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = native.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : native.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(counter++);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Sets the file's modification time from the fine clock. The kernel stamps writes with a
// coarse clock (milliseconds), and a freed inode number is soon reused: two versions of a file
// written in quick succession could otherwise share inode, size and time, and a reader would
// take the newer one for the older one it has parsed.
bool StampNow(int fd) {
  timespec times[2];
  if (::clock_gettime(CLOCK_REALTIME, &times[0]) != 0) return false;
  times[1] = times[0];
  return ::futimens(fd, times) == 0;
}

// Takes the writers' lock, trying again every few milliseconds until the deadline: another
// process may hold it for ever (a stuck or stopped writer, or a program that locked the file
// on its own), and the caller must be able to go on without the file. False with 32 when the
// deadline passed, else the system's error.
bool LockWithin(int fd, std::chrono::steady_clock::time_point deadline,
                const std::function<bool()>& giveUp) {
  std::chrono::steady_clock::time_point nextAsk{};  // asked at the first wait, then by period
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      SetLastErrorCode(ErrorFromErrno(errno));
      return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      SetLastErrorCode(error::kSharingViolation);
      return false;
    }
    if (giveUp && now >= nextAsk) {
      if (giveUp()) {
        SetLastErrorCode(error::kCancelled);
        return false;
      }
      nextAsk = now + std::chrono::milliseconds(kProfileGiveUpCheckMs);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

struct ProfileFile::Impl {
  std::string native;
  Descriptor fd;
  mode_t mode = 0;
};

ProfileFile::ProfileFile(std::unique_ptr<Impl> impl, const ProfileStamp& stamp)
    : impl_(std::move(impl)), stamp_(stamp) {}
ProfileFile::~ProfileFile() = default;

bool StampProfilePath(const WString& path, ProfileStamp& stamp) {
  struct stat st {};
  if (::stat(PathToNative(path).c_str(), &st) != 0) return false;
  stamp = StampOf(st);
  return true;
}

// The change time, not the modification time: a program can set the latter at will.
bool StampIsSettled(const ProfileStamp& stamp) {
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now) - stamp.changed >= kStampSettledAfterMs * 1000000;
}

std::unique_ptr<ProfileFile> ProfileFile::OpenForRead(const WString& path) {
  auto impl = std::make_unique<Impl>();
  impl->native = PathToNative(path);
  impl->fd.Reset(::open(impl->native.c_str(), kOpenFlags | O_RDONLY));
  struct stat st {};
  if (impl->fd.get() < 0 || ::fstat(impl->fd.get(), &st) != 0) {
    SetLastErrorCode(OpenError(errno, false));
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastErrorCode(error::kAccessDenied);
    return nullptr;
  }
  impl->mode = st.st_mode;
  return std::unique_ptr<ProfileFile>(new ProfileFile(std::move(impl), StampOf(st)));
}

std::unique_ptr<ProfileFile> ProfileFile::OpenLocked(const WString& path, bool create,
                                                     const std::function<bool()>& giveUp) {
  const std::string native = PathToNative(path);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kProfileLockWaitMs);
  for (;;) {
    Descriptor fd(::open(native.c_str(), kOpenFlags | O_RDWR | (create ? O_CREAT : 0), 0666));
    if (fd.get() < 0) {
      SetLastErrorCode(OpenError(errno, create));
      return nullptr;
    }
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
      SetLastErrorCode(error::kAccessDenied);
      return nullptr;
    }
    if (!LockWithin(fd.get(), deadline, giveUp)) return nullptr;
    struct stat st {};
    struct stat named {};
    if (::fstat(fd.get(), &st) != 0) {
      SetLastErrorCode(ErrorFromErrno(errno));
      return nullptr;
    }
    if (::stat(native.c_str(), &named) == 0 && named.st_dev == st.st_dev &&
        named.st_ino == st.st_ino) {
      auto impl = std::make_unique<Impl>();
      impl->native = native;
      impl->fd.Reset(fd.Release());
      impl->mode = st.st_mode;
      return std::unique_ptr<ProfileFile>(new ProfileFile(std::move(impl), StampOf(st)));
    }
  }
}

bool ProfileFile::ReadAll(std::string& bytes) {
  bytes.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(impl_->fd.get(), chunk, sizeof chunk);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      SetLastErrorCode(ErrorFromErrno(errno));
      return false;
    }
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
}

// There is no flush to the disk: the files are a cache that refills itself, the artist search
// writes one entry per result on a page, and a flush costs milliseconds each on a busy disk
// (ext4 orders the data of a file renamed over another before the rename in any case).
bool ProfileFile::Replace(const std::vector<std::string_view>& runs, ProfileStamp& replaced) {
  std::string temporary;
  const Descriptor fd(CreateTemporary(impl_->native, temporary));
  bool done = fd.get() >= 0;
  if (done) {
    done = ::fchmod(fd.get(), impl_->mode & 07777) == 0 &&
           std::all_of(runs.begin(), runs.end(),
                       [&](std::string_view run) { return WriteAll(fd.get(), run); }) &&
           StampNow(fd.get()) && ::rename(temporary.c_str(), impl_->native.c_str()) == 0;
  }
  if (!done) {
    const int saved = errno;
    if (fd.get() >= 0) ::unlink(temporary.c_str());
    SetLastErrorCode(ErrorFromErrno(saved));
    return false;
  }
  // Without the new stamp the file is merely read again next time.
  struct stat st {};
  replaced = ::fstat(fd.get(), &st) == 0 ? StampOf(st) : ProfileStamp{};
  return true;
}

}  // namespace platform
