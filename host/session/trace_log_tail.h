// Follows the plug-in's trace file in a log folder and hands back the lines written since the
// last look. The plug-in names its file after itself, the time the file was started and the
// process id ("Tunewell_20261208_031500_1A2B.txt"), and starts a new one when the date changes;
// the tail takes the newest name of this process. A line still being written stays for the
// next look. One thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace host {

class TraceLogTail {
 public:
  // sourceName: the plug-in's "SourceName"; processId: this process's, which names the file.
  TraceLogTail(std::filesystem::path folder, const std::string& sourceName,
               std::uint32_t processId);

  // The whole lines (UTF-8, without their CR LF) added since the last call; empty when there
  // is no file yet or it cannot be read.
  std::vector<std::string> NewLines();

 private:
  std::filesystem::path NewestFile() const;
  std::vector<std::string> ReadNewLines();

  std::filesystem::path folder_;
  std::string prefix_;  // "Tunewell_"
  std::string suffix_;  // "_1A2B.txt"
  std::filesystem::path file_;
  std::uintmax_t offset_ = 0;
};

}  // namespace host
