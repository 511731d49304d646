#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <unicode/ustring.h>

#include <cerrno>

#include "platform/posix/share_mode.h"
#include "platform/system_error.h"

namespace platform {
namespace {

int AsFd(std::intptr_t handle) { return static_cast<int>(handle); }

// Windows tells a missing file (2) from a missing folder on its path (3).
std::uint32_t OpenErrorCode(int errnoValue, const std::string& nativePath) {
  if (errnoValue == ENOENT) {
    const auto slash = nativePath.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
      struct stat st {};
      if (stat(nativePath.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return error::kPathNotFound;
      }
    }
  }
  return ErrorFromErrno(errnoValue);
}

bool Truncates(std::uint32_t flags) {
  return (flags & File::modeCreate) && !(flags & File::modeNoTruncate);
}

int OpenMode(std::uint32_t flags) {
  int mode = O_CLOEXEC;
  if (flags & File::modeReadWrite) {
    mode |= O_RDWR;
  } else if (flags & File::modeWrite) {
    mode |= O_WRONLY;
  } else {
    mode |= O_RDONLY;
  }
  if (flags & File::modeCreate) mode |= O_CREAT;
  // Truncation waits until the sharing check has passed (a refused open must change nothing),
  // except for an open without write access, whose descriptor cannot truncate.
  if (Truncates(flags) && !(flags & (File::modeWrite | File::modeReadWrite))) mode |= O_TRUNC;
  // Opening a FIFO waits for its other end, and a terminal could become the process's own:
  // neither may happen before the file is known to be a regular one.
  if (flags & File::regularFileOnly) mode |= O_NONBLOCK | O_NOCTTY;
  return mode;
}

// The kernel's own file systems, mounted under /proc and /sys: their "files" are settings.
bool IsKernelFileSystem(int fd) {
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return true;  // unknown: refused
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9fa0:      // proc
    case 0x62656572:  // sysfs
    case 0x64626720:  // debugfs
    case 0x74726163:  // tracefs
    case 0x73636673:  // securityfs
    case 0x27e0eb:    // cgroup
    case 0x63677270:  // cgroup2
    case 0x62656570:  // configfs
    case 0xcafe4a11:  // bpf
    case 0x6165676c:  // pstore
    case 0xde5e81e4:  // efivarfs
      return true;
    default:
      return false;
  }
}

// The framework maps the compatibility mode to exclusive.
posix::ShareMode ShareModeOf(std::uint32_t flags) {
  posix::ShareMode mode;
  mode.writeAccess = (flags & (File::modeWrite | File::modeReadWrite)) != 0;
  mode.readAccess = !(flags & File::modeWrite);
  switch (flags & 0x70) {
    case File::shareDenyWrite: mode.denyWrite = true; break;
    case File::shareDenyRead: mode.denyRead = true; break;
    case File::shareDenyNone: break;
    default: mode.denyRead = mode.denyWrite = true; break;  // exclusive, compatibility
  }
  return mode;
}

// A symbolic link that another user made, to a file that user does not own, could make this
// process (root, say) write where that user cannot: for the files that must be regular (the
// logs), such a link is not followed, whatever the kernel's protected_symlinks says. A link of
// this user's, root's, or the target's owner is.
bool LinkMayBeFollowed(uid_t linkOwner, const struct stat& target) {
  return linkOwner == ::geteuid() || linkOwner == 0 || linkOwner == target.st_uid;
}

int OpenFollowingOnlyOwnLinks(const std::string& native, std::uint32_t flags) {
  if (!(flags & File::regularFileOnly)) return ::open(native.c_str(), OpenMode(flags), 0666);
  const int fd = ::open(native.c_str(), OpenMode(flags) | O_NOFOLLOW, 0666);
  if (fd >= 0 || errno != ELOOP) return fd;
  struct stat link {}, target {};
  if (::lstat(native.c_str(), &link) != 0 || ::stat(native.c_str(), &target) != 0) return -1;
  if (!LinkMayBeFollowed(link.st_uid, target)) {
    errno = EACCES;
    return -1;
  }
  const int followed = ::open(native.c_str(), OpenMode(flags), 0666);
  struct stat opened {};
  if (followed >= 0 && (::fstat(followed, &opened) != 0 || opened.st_dev != target.st_dev ||
                        opened.st_ino != target.st_ino)) {
    ::close(followed);  // the link was changed meanwhile
    errno = EACCES;
    return -1;
  }
  return followed;
}

}  // namespace


File::~File() { Close(); }

bool File::Open(const WString& path, std::uint32_t flags, FileError* error) {
  Close();
  const std::string native = PathToNative(path);
  int fd = OpenFollowingOnlyOwnLinks(native, flags);
  if (fd < 0) {
    const std::uint32_t code = OpenErrorCode(errno, native);
    SetLastErrorCode(code);
    if (error != nullptr) *error = FileError(code, path);
    return false;
  }
  const auto fail = [&](std::uint32_t code) {
    ::close(fd);
    SetLastErrorCode(code);
    if (error != nullptr) *error = FileError(code, path);
    return false;
  };
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) return fail(error::kAccessDenied);
  if (flags & regularFileOnly) {
    if (!S_ISREG(st.st_mode) || IsKernelFileSystem(fd)) return fail(error::kAccessDenied);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  if (posix::TakeShareMode(fd, ShareModeOf(flags)) == posix::ShareResult::kConflict) {
    return fail(error::kSharingViolation);
  }
  if (Truncates(flags) && (flags & (modeWrite | modeReadWrite)) && ::ftruncate(fd, 0) != 0) {
    return fail(ErrorFromErrno(errno));
  }
  handle_ = fd;
  path_ = path;
  return true;
}

void File::Close() noexcept {
  if (handle_ != kNoHandle) ::close(AsFd(handle_));
  handle_ = kNoHandle;
}

void File::Throw(int systemError) const { throw FileError(ErrorFromErrno(systemError), path_); }

std::size_t File::Read(void* buffer, std::size_t count) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  for (;;) {
    const ssize_t n = ::read(AsFd(handle_), buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) Throw(errno);
  }
}

void File::Write(const void* buffer, std::size_t count) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  const auto* bytes = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(AsFd(handle_), bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

std::uint64_t File::Seek(std::int64_t offset, int origin) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < begin || origin > end) throw FileError(error::kInvalidParameter, path_);
  const off_t pos = ::lseek(AsFd(handle_), static_cast<off_t>(offset), kWhence[origin]);
  if (pos < 0) {
    throw FileError(errno == EINVAL ? error::kNegativeSeek : ErrorFromErrno(errno), path_);
  }
  return static_cast<std::uint64_t>(pos);
}

std::uint64_t File::GetPosition() const {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  const off_t pos = ::lseek(AsFd(handle_), 0, SEEK_CUR);
  if (pos < 0) Throw(errno);
  return static_cast<std::uint64_t>(pos);
}

std::uint64_t File::GetLength() const {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  struct stat st {};
  if (fstat(AsFd(handle_), &st) != 0) Throw(errno);
  return static_cast<std::uint64_t>(st.st_size);
}

void File::SetLength(std::uint64_t length) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  if (::ftruncate(AsFd(handle_), static_cast<off_t>(length)) != 0) Throw(errno);
}

WString File::GetFileName() const {
  const auto slash = path_.find_last_of(u"/");
  return slash == WString::npos ? path_ : path_.substr(slash + 1);
}

void File::Remove(const WString& path) {
  const std::string native = PathToNative(path);
  if (::unlink(native.c_str()) != 0) throw FileError(OpenErrorCode(errno, native), path);
}

bool File::Exists(const WString& path) {
  struct stat st {};
  return ::stat(PathToNative(path).c_str(), &st) == 0;
}

bool File::IsDirectory(const WString& path) {
  struct stat st {};
  return ::stat(PathToNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool File::CreateDirectory(const WString& path) {
  const std::string native = PathToNative(path);
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  SetLastErrorCode(errno == EEXIST ? error::kAlreadyExists : OpenErrorCode(errno, native));
  return false;
}

std::string PathToNative(const WString& path) {
  if (path.empty()) return {};
  // Lone surrogates cannot be spelled in UTF-8; they become U+FFFD rather than failing.
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  u_strToUTF8WithSub(nullptr, 0, &needed, path.data(), static_cast<int32_t>(path.size()),
                     0xFFFD, nullptr, &status);
  std::string out(static_cast<std::size_t>(needed), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), needed, &needed, path.data(),
                     static_cast<int32_t>(path.size()), 0xFFFD, nullptr, &status);
  return U_SUCCESS(status) ? out : std::string();
}

WString PathFromNative(const std::string& path) {
  if (path.empty()) return {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  u_strFromUTF8WithSub(nullptr, 0, &needed, path.data(), static_cast<int32_t>(path.size()),
                       0xFFFD, nullptr, &status);
  WString out(static_cast<std::size_t>(needed), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), needed, &needed, path.data(),
                       static_cast<int32_t>(path.size()), 0xFFFD, nullptr, &status);
  return U_SUCCESS(status) ? out : WString();
}

}  // namespace platform
