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

std::string WhyNotLogFile(const std::string& path) { return WhyNotRegularFile(path); }

}  // namespace host
