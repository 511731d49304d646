#include "os/file_kind.h"

#include <windows.h>

#include "os/windows/wide_text.h"

namespace host {
namespace {

// The kind of an existing file; empty when it is a file on a disk or cannot be opened.
std::string NonDiskKind(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return "a folder";
  }
  // No access asked: only the file's type is read.
  HANDLE file = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE |
                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  const DWORD type = ::GetFileType(file);
  ::CloseHandle(file);
  if (type == FILE_TYPE_DISK) return "";
  return type == FILE_TYPE_PIPE ? "a pipe" : "a device";
}

}  // namespace

std::string WhyNotRegularFile(const std::string& path) {
  const std::string kind = NonDiskKind(path);
  return kind.empty() ? "" : "not a regular file (" + kind + ")";
}

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& content,
                   std::string& error) {
  error = WhyNotRegularFile(path);
  if (!error.empty()) return false;
  HANDLE file = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot open the file";
    return false;
  }
  content.clear();
  char buffer[1 << 16];
  DWORD got = 0;
  bool ok = true;
  while (ok && ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    ok = content.size() + got <= limit;
    if (ok) content.append(buffer, got);
  }
  ::CloseHandle(file);
  if (!ok) error = "larger than " + std::to_string(limit) + " bytes";
  return ok;
}

bool IsOwnFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace host
