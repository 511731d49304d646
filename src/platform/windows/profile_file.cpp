#include "platform/profile_file.h"

#include <algorithm>
#include <atomic>

#include "platform/system_error.h"
#include "platform/windows/win_text.h"

namespace platform {
namespace {

// Everyone shares delete access: a writer puts a new file in place of one that readers and
// waiting writers still hold open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Windows locks are mandatory: a lock over the file's bytes would stop the readers, which take
// none. Writers lock one byte far beyond any end of file instead.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

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

bool LockForWriters(HANDLE file) {
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where) != 0;
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
};

ProfileFile::ProfileFile(std::unique_ptr<Impl> impl, const ProfileStamp& stamp)
    : impl_(std::move(impl)), stamp_(stamp) {}
ProfileFile::~ProfileFile() = default;

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
  if (!impl->file.valid() || !StampOfHandle(impl->file.get(), stamp)) return nullptr;
  return std::unique_ptr<ProfileFile>(new ProfileFile(std::move(impl), stamp));
}

std::unique_ptr<ProfileFile> ProfileFile::OpenLocked(const WString& path, bool create) {
  for (;;) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->file.Reset(
        OpenShared(path, GENERIC_READ | GENERIC_WRITE, create ? OPEN_ALWAYS : OPEN_EXISTING));
    if (!impl->file.valid()) return nullptr;
    ProfileStamp stamp;
    ProfileStamp named;
    if (!LockForWriters(impl->file.get()) || !StampOfHandle(impl->file.get(), stamp)) {
      return nullptr;
    }
    // The writer before may have put a new file in place of the one locked here: lock again.
    if (StampProfilePath(path, named) && named.volume == stamp.volume &&
        named.identity == stamp.identity) {
      return std::unique_ptr<ProfileFile>(new ProfileFile(std::move(impl), stamp));
    }
  }
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
  // Moving keeps the file's index, size and times: the stamp taken above is the new file's.
  if (written && ::MoveFileExW(win::W(temporary), win::W(impl_->path),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  const DWORD code = written ? ::GetLastError() : writeError;
  ::DeleteFileW(win::W(temporary));
  SetLastErrorCode(code);
  return false;
}

}  // namespace platform
