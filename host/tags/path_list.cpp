#include "tags/path_list.h"

#include "os/posix/descriptor.h"
#include "tags/store/posix/file_io.h"
#include "os/posix/safe_open.h"
#include "output/text_output.h"

namespace host {
namespace {

// A list of a whole library's paths is some megabytes; a path is at most PATH_MAX bytes.
constexpr std::size_t kMaxListBytes = 64u << 20;
constexpr std::size_t kMaxPathBytes = 4096;

// The list's lines as paths; false with the reason for the first line that cannot be one.
bool SplitLines(const std::string& text, std::vector<std::string>& paths, std::string& error) {
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.find('\0') != std::string::npos) {
      error = "line " + std::to_string(number) + " holds a NUL byte, which no path can";
      return false;
    }
    if (line.size() > kMaxPathBytes) {
      error = "line " + std::to_string(number) + " is longer than any path can be";
      return false;
    }
    paths.push_back(std::move(line));
  }
  return true;
}

}  // namespace

bool ReadPathList(const std::string& file, std::vector<std::string>& paths, std::string& error) {
  const std::string shown = file == "-" ? std::string("standard input") : PrintablePath(file);
  std::string why;
  UniqueFd opened(file == "-" ? Duplicate(0) : OpenRegularFileForReading(file, why));
  std::string text;
  if (!opened.Valid() || !ReadBounded(opened.Get(), kMaxListBytes, text, why) ||
      !SplitLines(text, paths, why)) {
    error = "cannot read " + shown + ": " + (why.empty() ? ErrnoText(errno) : why);
    return false;
  }
  return true;
}

bool WritePathList(const std::string& file, const std::vector<std::string>& paths, int& leftOut,
                   std::string& error) {
  leftOut = 0;
  std::string text;
  for (const std::string& path : paths) {
    if (path.find_first_of("\r\n") != std::string::npos) {
      ++leftOut;
      continue;
    }
    text += path + '\n';
  }
  std::string why;
  UniqueFd out(OpenUserOutputFile(file, why));
  if (!out.Valid() || !WriteAll(out.Get(), text.data(), text.size())) {
    error = "cannot write " + PrintablePath(file) + ": " + (why.empty() ? ErrnoText(errno) : why);
    return false;
  }
  return true;
}

}  // namespace host
