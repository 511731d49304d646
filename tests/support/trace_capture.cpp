#include "support/trace_capture.h"

#include "diag/trace_log.h"

namespace testing_support {

TraceCapture::TraceCapture(int level) : log_(std::make_unique<CTraceLog>()) {
  log_->Configure(dir_.wpath(), u"Capture", level);
  log_->Writer().SetLevel(level);
  previous_ = CTraceLog::SetGlobal(log_.get());
}

TraceCapture::~TraceCapture() {
  CTraceLog::SetGlobal(previous_);
  log_->Close();
}

std::vector<TraceLine> TraceCapture::Lines() const {
  std::vector<TraceLine> lines;
  for (const std::string& name : ListFiles(dir_.path())) {
    if (name.rfind("Capture_", 0) != 0) continue;
    const std::string bytes = ReadFileBytes(dir_.File(name));
    WString text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {  // past the byte-order mark
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find(u"\r\n", start);
      // Entries may hold line breaks of their own; a new entry starts with a header.
      while (end != WString::npos && end + 2 < text.size() &&
             !(end + 14 < text.size() && text[end + 4] == u':' && text[end + 7] == u':' &&
               text[end + 10] == u'.')) {
        end = text.find(u"\r\n", end + 2);
      }
      if (end == WString::npos) end = text.size();
      const WString line = text.substr(start, end - start);
      // "hh:mm:ss.mmm TID TAG: text"
      const std::size_t space1 = line.find(u' ');
      const std::size_t space2 = space1 == WString::npos ? WString::npos : line.find(u' ', space1 + 1);
      const std::size_t colon = space2 == WString::npos ? WString::npos : line.find(u": ", space2 + 1);
      if (colon != WString::npos) {
        lines.push_back({line.substr(space2 + 1, colon - space2 - 1), line.substr(colon + 2)});
      }
      start = end + 2;
    }
  }
  return lines;
}

bool TraceCapture::Contains(const WString& tag, const WString& text) const {
  for (const auto& line : Lines()) {
    if (line.tag == tag && line.text.find(text) != WString::npos) return true;
  }
  return false;
}

bool TraceCapture::HasLine(const WString& text) const {
  for (const auto& line : Lines()) {
    if (line.text == text) return true;
  }
  return false;
}

}  // namespace testing_support
