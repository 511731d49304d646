// A fresh temporary folder for one test, removed with its content afterwards.
#pragma once

#include <string>
#include <vector>

#include "tunewell/wstring.h"

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  WString wpath() const;
  // path() + "/" + name
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Lists the regular files of a folder (names only, sorted).
std::vector<std::string> ListFiles(const std::string& folder);

}  // namespace testing_support
