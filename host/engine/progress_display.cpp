#include "engine/progress_display.h"

#include <vector>

#include "os/terminal.h"
#include "output/text_output.h"

namespace host {
namespace {

constexpr int kBarWidth = 20;
constexpr int kDefaultColumns = 80;
constexpr std::string_view kCut = "...";

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The character that starts at `at`: its byte length and its display columns. A stray byte
// counts as one character of one column (the text has passed PrintableText, which leaves none).
struct Character {
  std::size_t size;
  std::size_t columns;
};

Character CharacterAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t size = lead < 0xC0 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (size == 1 || at + size > text.size()) return {1, 1};
  char32_t code = lead & (0x7F >> size);
  for (std::size_t i = 1; i < size; ++i) {
    if (!IsContinuation(text[at + i])) return {1, 1};
    code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  }
  return {size, static_cast<std::size_t>(CharacterColumns(code))};
}

std::size_t TextColumns(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t at = 0; at < text.size();) {
    const Character c = CharacterAt(text, at);
    n += c.columns;
    at += c.size;
  }
  return n;
}

// The most of the text's start that fits in `columns`, cut between characters.
std::string_view Head(std::string_view text, std::size_t columns) {
  std::size_t end = 0;
  for (std::size_t used = 0; end < text.size();) {
    const Character c = CharacterAt(text, end);
    if (used + c.columns > columns) break;
    used += c.columns;
    end += c.size;
  }
  return text.substr(0, end);
}

// The most of the text's end that fits in `columns`, without a mark whose letter was cut.
std::string_view Tail(std::string_view text, std::size_t columns) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size(); at += CharacterAt(text, at).size) starts.push_back(at);
  std::size_t begin = text.size();
  for (std::size_t used = 0, i = starts.size(); i > 0; --i) {
    const std::size_t width = CharacterAt(text, starts[i - 1]).columns;
    if (used + width > columns) break;
    used += width;
    begin = starts[i - 1];
  }
  while (begin < text.size() && CharacterAt(text, begin).columns == 0) {
    begin += CharacterAt(text, begin).size;
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
  started_ = index;
  startedLabel_ = PrintableText(label);
  if (terminal_) Redraw(index, "searching", startedLabel_);
}

void ProgressDisplay::Waiting(int seconds, const std::string& rawWhy) {
  // A log gets one line for a wait long enough to look like a hang; a shorter one is not news.
  constexpr int kWaitWorthALine = 10;
  const std::string status =
      "waiting " + std::to_string(seconds) + " s (" + PrintableText(rawWhy) + ")";
  if (terminal_) {
    Redraw(started_, seconds > 0 ? status : "searching", startedLabel_);
  } else if (seconds > 0 && !waitAnnounced_ && !quiet_) {
    if (seconds >= kWaitWorthALine) {
      std::fprintf(stream_, "%d/%d %s: %s\n", started_ + 1, total_, status.c_str(),
                   startedLabel_.c_str());
      std::fflush(stream_);
    }
    waitAnnounced_ = true;
  }
  if (seconds <= 0) waitAnnounced_ = false;
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
