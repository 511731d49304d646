// Progress of a batch on stderr: on a terminal one bar redrawn in place
// ("[#######.............] 7/20 found: ARTIST - TITLE"), fitted to the terminal's width in
// display columns (a CJK character takes two), with every problem (not found, failed) left on
// its own line above the bar and listed again when the run ends, and a wait after failures
// counted down on the bar ("7/20 waiting 42 s (the site asked to wait): ARTIST - TITLE");
// elsewhere (a log file, a pipe, a dumb terminal) one plain line per finished song
// ("7/20 found: ARTIST - TITLE") and one per long wait. Writes to a stream it does not own.
// One thread.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace host {

class ProgressDisplay {
 public:
  // columns: the terminal's width; 0 asks the terminal at each redraw (so that a resized
  // window is followed), 80 when it cannot say.
  // quiet (--quiet): no bar and no line for what went well, only the problems' lines.
  ProgressDisplay(std::FILE* stream, bool terminal, int total, int columns = 0, bool quiet = false)
      : stream_(stream), terminal_(terminal && !quiet), quiet_(quiet), total_(total),
        columns_(columns) {}

  // The song with this 0-based index is being searched (shown on a terminal only).
  void Started(int index, const std::string& label);
  // The song with this 0-based index is done, with a status such as "found"; a problem (not
  // found, failed) stays on screen.
  void Finished(int index, const std::string& status, const std::string& label,
                bool problem = false);
  // The run waits before the search of the song last started: `seconds` left (rounded up),
  // `why` what for ("the site asked to wait"); 0 when the wait is over.
  void Waiting(int seconds, const std::string& why);
  // Ends the bar's line on a terminal and lists the problems again; nothing otherwise.
  void Close();

  // The bar for `done` of `total` songs, `width` cells wide.
  static std::string Bar(int done, int total, int width);
  // The label (UTF-8) in at most `width` display columns: a path loses the middle of its
  // folders first, never its file name unless that alone is too wide.
  static std::string FitLabel(const std::string& label, std::size_t width);

 private:
  void Redraw(int done, const std::string& status, const std::string& label);
  int Columns() const;

  std::FILE* stream_;
  bool terminal_;
  bool quiet_;
  int total_;
  int columns_;
  bool drawn_ = false;
  int started_ = 0;            // the song last started, and its label
  std::string startedLabel_;
  bool waitAnnounced_ = false;  // the plain line of the wait under way is written
  std::vector<std::string> problems_;
};

}  // namespace host
