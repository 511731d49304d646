#include "os/log_files.h"

#include <windows.h>

#include <random>

#include "os/file_kind.h"
#include "os/windows/wide_text.h"

namespace host {

ParentLogFile::~ParentLogFile() = default;

// The plug-in opens the file by its path here: Windows has no name for an open file that a
// later open would reach again; a file of another kind is refused as before.
bool ParentLogFile::Open(const std::string& path, std::string& error) {
  error = WhyNotRegularFile(path);
  if (!error.empty()) return false;
  path_ = path;
  return true;
}

std::string ParentLogFile::NameForPlugin() const { return path_; }

bool FolderTakesWrites(const std::string& folder) {
  std::random_device random;
  const std::string name = folder + "\\.tunewell-write-test-" + std::to_string(random()) +
                           std::to_string(random());
  HANDLE file = ::CreateFileW(WideFromUtf8(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, "tunewell\r\n", 10, &written, nullptr) && written == 10;
  ::CloseHandle(file);
  return ok;
}

}  // namespace host
