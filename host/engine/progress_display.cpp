#include "engine/progress_display.h"

#include "os/terminal.h"
#include "output/text_output.h"

namespace host {
namespace {

constexpr int kBarWidth = 20;
constexpr int kDefaultColumns = 80;
constexpr std::string_view kCut = "...";

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t TextColumns(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) n += IsContinuation(c) ? 0 : 1;
  return n;
}

// The first (or last) `columns` characters of text, cut at character boundaries.
std::string_view Head(std::string_view text, std::size_t columns) {
  std::size_t end = 0;
  for (std::size_t seen = 0; end < text.size(); ++end) {
    if (!IsContinuation(text[end]) && seen++ == columns) break;
  }
  return text.substr(0, end);
}

std::string_view Tail(std::string_view text, std::size_t columns) {
  std::size_t begin = text.size();
  for (std::size_t seen = 0; begin > 0 && seen < columns;) {
    --begin;
    if (!IsContinuation(text[begin])) ++seen;
  }
  return text.substr(begin);
}

// The text in `width` columns, its middle cut out.
std::string CutMiddle(std::string_view text, std::size_t width) {
  if (TextColumns(text) <= width) return std::string(text);
  if (width <= kCut.size()) return std::string(Head(text, width));
  const std::size_t keep = width - kCut.size();
  return std::string(Head(text, keep - keep / 2)) + std::string(kCut) +
         std::string(Tail(text, keep / 2));
}

}  // namespace

std::string ProgressDisplay::Bar(int done, int total, int width) {
  const int filled =
      total <= 0 ? width : static_cast<int>(static_cast<long long>(done) * width / total);
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(width - filled), '.') + "]";
}

std::string ProgressDisplay::FitLabel(const std::string& label, std::size_t width) {
  if (TextColumns(label) <= width) return label;
  const std::size_t slash = label.find_last_of("/\\");
  if (slash == std::string::npos) return CutMiddle(label, width);
  const std::string_view name = std::string_view(label).substr(slash);  // with its separator
  if (TextColumns(name) + kCut.size() >= width) return CutMiddle(name.substr(1), width);
  const std::size_t folders = width - TextColumns(name);
  return CutMiddle(std::string_view(label).substr(0, slash), folders) + std::string(name);
}

int ProgressDisplay::Columns() const {
  if (columns_ > 0) return columns_;
  const int asked = TerminalColumns(stream_);
  return asked > 0 ? asked : kDefaultColumns;
}

void ProgressDisplay::Redraw(int done, const std::string& status, const std::string& label) {
  const std::string head = Bar(done, total_, kBarWidth) + " " + std::to_string(done) + "/" +
                           std::to_string(total_) + " " + status + ": ";
  // One column short of the width: a line that fills it wraps on some terminals, and \r then
  // cannot reach its start.
  const std::size_t width = static_cast<std::size_t>(Columns() - 1);
  const std::size_t room = width > TextColumns(head) ? width - TextColumns(head) : 0;
  // \r back to the line start, \x1b[K clears what a longer earlier line left behind.
  std::fprintf(stream_, "\r%s%s\x1b[K", CutMiddle(head, width).c_str(),
               FitLabel(label, room).c_str());
  std::fflush(stream_);
  drawn_ = true;
}

// Labels and statuses carry names from files and texts from the site: escaped here, where
// every line of the display passes, so that none of them can drive the terminal.
void ProgressDisplay::Started(int index, const std::string& label) {
  if (terminal_) Redraw(index, "searching", PrintableText(label));
}

void ProgressDisplay::Finished(int index, const std::string& rawStatus,
                               const std::string& rawLabel, bool problem) {
  const std::string status = PrintableText(rawStatus), label = PrintableText(rawLabel);
  const std::string line =
      std::to_string(index + 1) + "/" + std::to_string(total_) + " " + status + ": " + label;
  if (!terminal_) {
    if (!quiet_ || problem) std::fprintf(stream_, "%s\n", line.c_str());
  } else {
    if (problem) {
      // Above the bar, whole: the line is for reading later, not for redrawing.
      std::fprintf(stream_, "\r\x1b[K%s\n", line.c_str());
      problems_.push_back(line);
    }
    Redraw(index + 1, status, label);
  }
  std::fflush(stream_);
}

void ProgressDisplay::Close() {
  if (terminal_ && drawn_) std::fputc('\n', stream_);
  if (terminal_ && !problems_.empty()) {
    std::fprintf(stream_, "not found or failed: %zu\n", problems_.size());
    for (const std::string& line : problems_) std::fprintf(stream_, "  %s\n", line.c_str());
  }
  std::fflush(stream_);
  drawn_ = false;
  problems_.clear();
}

}  // namespace host
