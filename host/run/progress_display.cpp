#include "run/progress_display.h"

namespace host {
namespace {

constexpr int kBarWidth = 20;
constexpr std::size_t kMaxLabelBytes = 50;

// A label short enough to keep the bar on one line, cut at a UTF-8 character boundary.
std::string ShortLabel(const std::string& label) {
  if (label.size() <= kMaxLabelBytes) return label;
  std::size_t end = kMaxLabelBytes - 3;
  while (end > 0 && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80) --end;
  return label.substr(0, end) + "...";
}

}  // namespace

std::string ProgressDisplay::Bar(int done, int total, int width) {
  const int filled =
      total <= 0 ? width : static_cast<int>(static_cast<long long>(done) * width / total);
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(width - filled), '.') + "]";
}

void ProgressDisplay::Redraw(int done, const std::string& text) {
  // \r back to the line start, \x1b[K clears what a longer earlier line left behind.
  std::fprintf(stream_, "\r%s %d/%d %s\x1b[K", Bar(done, total_, kBarWidth).c_str(), done, total_,
               text.c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressDisplay::Started(int index, const std::string& label) {
  if (terminal_) Redraw(index, "searching: " + ShortLabel(label));
}

void ProgressDisplay::Finished(int index, const std::string& status, const std::string& label) {
  if (terminal_) {
    Redraw(index + 1, status + ": " + ShortLabel(label));
    return;
  }
  std::fprintf(stream_, "%d/%d %s: %s\n", index + 1, total_, status.c_str(), label.c_str());
  std::fflush(stream_);
}

void ProgressDisplay::Close() {
  if (terminal_ && drawn_) std::fputc('\n', stream_);
  drawn_ = false;
}

}  // namespace host
