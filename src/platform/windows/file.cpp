#include "platform/file.h"

#include "platform/system_error.h"
#include "platform/windows/win_text.h"

// File::CreateDirectory keeps the framework's name; <windows.h> maps that name to a W function.
#undef CreateDirectory

namespace platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD DesiredAccess(std::uint32_t flags) {
  if (flags & File::modeReadWrite) return GENERIC_READ | GENERIC_WRITE;
  if (flags & File::modeWrite) return GENERIC_WRITE;
  return GENERIC_READ;
}

// The framework's sharing modes; compatibility mode is exclusive, as the framework has it.
DWORD ShareMode(std::uint32_t flags) {
  switch (flags & 0x70) {
    case File::shareDenyWrite: return FILE_SHARE_READ;
    case File::shareDenyRead: return FILE_SHARE_WRITE;
    case File::shareDenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: return 0;
  }
}

DWORD Disposition(std::uint32_t flags) {
  if (!(flags & File::modeCreate)) return OPEN_EXISTING;
  return (flags & File::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

std::string Utf8(const wchar_t* text, int length) {
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), needed, nullptr, nullptr);
  }
  return out;
}

}  // namespace


File::~File() { Close(); }

bool File::Open(const WString& path, std::uint32_t flags, FileError* error) {
  Close();
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, !(flags & modeNoInherit)};
  HANDLE file = ::CreateFileW(win::W(path), DesiredAccess(flags), ShareMode(flags), &security,
                              Disposition(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (error != nullptr) *error = FileError(code, path);
    ::SetLastError(code);
    return false;
  }
  // A device or a pipe is no file to keep a record in.
  if ((flags & regularFileOnly) && ::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    if (error != nullptr) *error = FileError(ERROR_ACCESS_DENIED, path);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  path_ = path;
  return true;
}

void File::Close() noexcept {
  if (handle_ != kNoHandle) ::CloseHandle(AsHandle(handle_));
  handle_ = kNoHandle;
}

void File::Throw(int systemError) const {
  throw FileError(static_cast<std::uint32_t>(systemError), path_);
}

std::size_t File::Read(void* buffer, std::size_t count) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  DWORD got = 0;
  const DWORD wanted = count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
  if (!::ReadFile(AsHandle(handle_), buffer, wanted, &got, nullptr)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return 0;
    Throw(static_cast<int>(code));
  }
  return got;
}

void File::Write(const void* buffer, std::size_t count) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  const auto* bytes = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD put = 0;
    const DWORD chunk = count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
    if (!::WriteFile(AsHandle(handle_), bytes, chunk, &put, nullptr)) {
      Throw(static_cast<int>(::GetLastError()));
    }
    if (put == 0) Throw(error::kWriteFault);
    bytes += put;
    count -= put;
  }
}

std::uint64_t File::Seek(std::int64_t offset, int origin) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  static constexpr DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  if (origin < begin || origin > end) throw FileError(error::kInvalidParameter, path_);
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(AsHandle(handle_), distance, &position, kMethod[origin])) {
    Throw(static_cast<int>(::GetLastError()));
  }
  return static_cast<std::uint64_t>(position.QuadPart);
}

std::uint64_t File::GetPosition() const {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(AsHandle(handle_), LARGE_INTEGER{}, &position, FILE_CURRENT)) {
    Throw(static_cast<int>(::GetLastError()));
  }
  return static_cast<std::uint64_t>(position.QuadPart);
}

std::uint64_t File::GetLength() const {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(AsHandle(handle_), &size)) Throw(static_cast<int>(::GetLastError()));
  return static_cast<std::uint64_t>(size.QuadPart);
}

// The end of the file moves to length; the position is kept, as ftruncate keeps it.
void File::SetLength(std::uint64_t length) {
  if (handle_ == kNoHandle) throw FileError(error::kInvalidHandle, path_);
  const std::uint64_t position = GetPosition();
  Seek(static_cast<std::int64_t>(length), begin);
  const bool done = ::SetEndOfFile(AsHandle(handle_)) != 0;
  const DWORD code = ::GetLastError();
  Seek(static_cast<std::int64_t>(position), begin);
  if (!done) Throw(static_cast<int>(code));
}

WString File::GetFileName() const {
  const auto slash = path_.find_last_of(u"\\/");
  return slash == WString::npos ? path_ : path_.substr(slash + 1);
}

void File::Remove(const WString& path) {
  if (!::DeleteFileW(win::W(path))) throw FileError(::GetLastError(), path);
}

bool File::Exists(const WString& path) {
  return ::GetFileAttributesW(win::W(path)) != INVALID_FILE_ATTRIBUTES;
}

bool File::IsDirectory(const WString& path) {
  const DWORD attributes = ::GetFileAttributesW(win::W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool File::CreateDirectory(const WString& path) {
  return ::CreateDirectoryW(win::W(path), nullptr) != 0;  // the system sets the last error
}

std::string PathToNative(const WString& path) {
  return path.empty() ? std::string() : Utf8(win::W(path), static_cast<int>(path.size()));
}

WString PathFromNative(const std::string& path) {
  if (path.empty()) return {};
  const int length = static_cast<int>(path.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), length, nullptr, 0);
  WString out(static_cast<std::size_t>(needed > 0 ? needed : 0), u'\0');
  if (needed > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), length, win::W(out.data()), needed);
  }
  return out;
}

}  // namespace platform
