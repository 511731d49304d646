#include "tags/path_list.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "output/text_output.h"

namespace host {

bool ReadPathList(const std::string& file, std::vector<std::string>& paths, std::string& error) {
  std::ifstream opened;
  if (file != "-") {
    opened.open(file, std::ios::binary);
    if (!opened) {
      error = "cannot read " + PrintablePath(file) + ": " + std::strerror(errno);
      return false;
    }
  }
  std::istream& in = file == "-" ? std::cin : opened;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) paths.push_back(line);
  }
  if (in.bad()) {
    error = "cannot read " + PrintablePath(file) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WritePathList(const std::string& file, const std::vector<std::string>& paths, int& leftOut,
                   std::string& error) {
  leftOut = 0;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const std::string& path : paths) {
    if (path.find_first_of("\r\n") != std::string::npos) {
      ++leftOut;
      continue;
    }
    out << path << '\n';
  }
  out.close();
  if (!out) error = "cannot write " + PrintablePath(file) + ": " + std::strerror(errno);
  return static_cast<bool>(out);
}

}  // namespace host
