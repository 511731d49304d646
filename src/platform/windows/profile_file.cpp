#include "platform/profile_file.h"

#include <algorithm>
#include <atomic>

#include "platform/system_error.h"
#include "platform/windows/win_text.h"

namespace platform {
namespace {

// Everyone shares delete access, so that a reader never stops a writer from removing its
// temporary file.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Windows will not rename a file over one that is open, so the writers' lock cannot sit on the
// file itself (as flock does on POSIX): it is a named mutex per file, named after the file's
// full path in upper case (paths match without regard to case). A writer killed while holding
// it leaves it abandoned, and the next writer takes it over.
WString LockName(const WString& path) {
  WString full(MAX_PATH, u'\0');
  DWORD length = ::GetFullPathNameW(win::W(path), static_cast<DWORD>(full.size()),
                                    win::W(full.data()), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = ::GetFullPathNameW(win::W(path), length, win::W(full.data()), nullptr);
  }
  full.resize(length < full.size() ? length : 0);
  if (full.empty()) full = path;
  ::CharUpperBuffW(win::W(full.data()), static_cast<DWORD>(full.size()));
  // Mutex names hold no backslash: the path goes in as a 64-bit FNV-1a hash.
  std::uint64_t hash = 14695981039346656037ull;
  for (char16_t unit : full) hash = (hash ^ unit) * 1099511628211ull;
  char hex[17];
  for (int i = 0; i < 16; ++i) hex[i] = "0123456789abcdef"[(hash >> (60 - 4 * i)) & 15];
  return u"Local\\tunewell-profile-" + WString(hex, hex + 16);
}

// A reader holding the file open for a moment stops the rename: try again for a while.
bool MoveIntoPlace(const WString& from, const WString& to) {
  constexpr int kAttempts = 400;
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExW(win::W(from), win::W(to),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD code = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(win::W(to));
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    const bool busy = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
    if (!busy || readOnly || attempt + 1 >= kAttempts) {
      ::SetLastError(code);
      return false;
    }
    ::Sleep(attempt < 10 ? 0 : 5);
  }
}

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

bool StampOfHandle(HANDLE file, ProfileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.identity = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.modified = Ticks(info.ftLastWriteTime);
  stamp.changed = Ticks(info.ftCreationTime);
  return true;
}

HANDLE OpenShared(const WString& path, DWORD access, DWORD disposition) {
  return ::CreateFileW(win::W(path), access, kShareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Only a file on a disk is a cache: a device or a pipe named in its place is refused (5).
bool IsDiskFile(const win::Handle& file) {
  if (!file.valid()) return false;
  if (::GetFileType(file.get()) == FILE_TYPE_DISK) return true;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!::WriteFile(file, bytes.data(), chunk, &put, nullptr) || put == 0) return false;
    bytes.remove_prefix(put);
  }
  return true;
}

// A new file beside the target, named after it and this process, created exclusively.
HANDLE CreateTemporary(const WString& path, WString& temporary) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.find_last_of(u"\\/");
  const WString folder = slash == WString::npos ? WString() : path.substr(0, slash + 1);
  const WString name = slash == WString::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string suffix =
        ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
    temporary = folder + u"." + name + WString(suffix.begin(), suffix.end());
    HANDLE file = OpenShared(temporary, GENERIC_WRITE, CREATE_NEW);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

struct ProfileFile::Impl {
  WString path;
  win::Handle file;
  win::Handle lock;  // the writers' mutex, owned; none for a reader
  ~Impl() {
    file.Reset();
    if (lock.valid()) ::ReleaseMutex(lock.get());
  }
};

ProfileFile::ProfileFile(std::unique_ptr<Impl> impl, const ProfileStamp& stamp)
    : impl_(std::move(impl)), stamp_(stamp) {}
ProfileFile::~ProfileFile() = default;


// The last write time (the creation time never moves when a file is rewritten in place),
// against the system time, both in 100 ns ticks.
bool StampIsSettled(const ProfileStamp& stamp) {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return Ticks(now) - stamp.modified >= kStampSettledAfterMs * 10000;
}

bool StampProfilePath(const WString& path, ProfileStamp& stamp) {
  // No access asked: only the file's information is read.
  const win::Handle file(OpenShared(path, 0, OPEN_EXISTING));
  return file.valid() && StampOfHandle(file.get(), stamp);
}

std::unique_ptr<ProfileFile> ProfileFile::OpenForRead(const WString& path) {
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->file.Reset(OpenShared(path, GENERIC_READ, OPEN_EXISTING));
  ProfileStamp stamp;
  if (!IsDiskFile(impl->file) || !StampOfHandle(impl->file.get(), stamp)) return nullptr;
  return std::unique_ptr<ProfileFile>(new ProfileFile(std::move(impl), stamp));
}

std::unique_ptr<ProfileFile> ProfileFile::OpenLocked(const WString& path, bool create,
                                                     const std::function<bool()>& giveUp) {
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->lock.Reset(::CreateMutexW(nullptr, FALSE, win::W(LockName(path))));
  if (!impl->lock.valid()) return nullptr;
  // A writer stuck while holding the lock must not hold this caller for ever, nor past the
  // caller's giving up: the wait goes in pieces, giveUp asked between them.
  const ULONGLONG deadline = ::GetTickCount64() + kProfileLockWaitMs;
  DWORD waited = ::WaitForSingleObject(impl->lock.get(), 0);
  bool gaveUp = false;
  for (ULONGLONG now = ::GetTickCount64(); waited == WAIT_TIMEOUT && now < deadline;
       now = ::GetTickCount64()) {
    gaveUp = giveUp && giveUp();
    if (gaveUp) break;
    const ULONGLONG piece = giveUp ? std::min<ULONGLONG>(kProfileGiveUpCheckMs, deadline - now)
                                   : deadline - now;
    waited = ::WaitForSingleObject(impl->lock.get(), static_cast<DWORD>(piece));
  }
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const DWORD code = gaveUp                   ? error::kCancelled
                       : waited == WAIT_TIMEOUT ? ERROR_SHARING_VIOLATION
                                                : ::GetLastError();
    impl->lock.Reset();  // not owned: nothing to release
    ::SetLastError(code);
    return nullptr;
  }
  impl->file.Reset(
      OpenShared(path, GENERIC_READ, create ? OPEN_ALWAYS : OPEN_EXISTING));
  ProfileStamp stamp;
  if (!IsDiskFile(impl->file) || !StampOfHandle(impl->file.get(), stamp)) {
    const DWORD code = ::GetLastError();
    impl.reset();
    ::SetLastError(code);
    return nullptr;
  }
  return std::unique_ptr<ProfileFile>(new ProfileFile(std::move(impl), stamp));
}

bool ProfileFile::ReadAll(std::string& bytes) {
  bytes.clear();
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(impl_->file.get(), chunk, sizeof chunk, &got, nullptr)) return false;
    if (got == 0) return true;
    bytes.append(chunk, got);
  }
}

bool ProfileFile::Replace(const std::vector<std::string_view>& runs, ProfileStamp& replaced) {
  WString temporary;
  win::Handle file(CreateTemporary(impl_->path, temporary));
  if (!file.valid()) return false;
  const bool written =
      std::all_of(runs.begin(), runs.end(),
                  [&](std::string_view run) { return WriteAll(file.get(), run); }) &&
      StampOfHandle(file.get(), replaced);
  const DWORD writeError = ::GetLastError();
  file.Reset();
  impl_->file.Reset();  // an open file cannot be renamed over
  // Moving keeps the file's index, size and times: the stamp taken above is the new file's.
  if (written && MoveIntoPlace(temporary, impl_->path)) return true;
  const DWORD code = written ? ::GetLastError() : writeError;
  ::DeleteFileW(win::W(temporary));
  SetLastErrorCode(code);
  return false;
}

}  // namespace platform
