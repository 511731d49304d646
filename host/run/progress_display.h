// Progress of a batch on stderr: on a terminal one bar redrawn in place
// ("[#######.............] 7/20 found: ARTIST - TITLE"), elsewhere (a log file, a pipe) one plain
// line per finished song ("7/20 found: ARTIST - TITLE"). Writes to a stream it does not own.
// One thread.
#pragma once

#include <cstdio>
#include <string>

namespace host {

class ProgressDisplay {
 public:
  ProgressDisplay(std::FILE* stream, bool terminal, int total)
      : stream_(stream), terminal_(terminal), total_(total) {}

  // The song with this 0-based index is being searched (shown on a terminal only).
  void Started(int index, const std::string& label);
  // The song with this 0-based index is done, with a status such as "found".
  void Finished(int index, const std::string& status, const std::string& label);
  // Ends the bar's line on a terminal; nothing otherwise.
  void Close();

  // The bar for `done` of `total` songs, `width` cells wide.
  static std::string Bar(int done, int total, int width);

 private:
  void Redraw(int done, const std::string& text);

  std::FILE* stream_;
  bool terminal_;
  int total_;
  bool drawn_ = false;
};

}  // namespace host
