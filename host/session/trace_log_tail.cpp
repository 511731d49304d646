#include "session/trace_log_tail.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "os/utf.h"

namespace host {
namespace {

// UTF-16 little-endian, as the plug-in writes it, from byte first on; an odd last byte waits.
WString FromLittleEndian(const std::string& bytes, std::size_t first) {
  WString text;
  for (std::size_t i = first; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}

}  // namespace

TraceLogTail::TraceLogTail(std::filesystem::path folder, const std::string& sourceName,
                           std::uint32_t processId)
    : folder_(std::move(folder)), prefix_(sourceName + "_") {
  char id[16];
  std::snprintf(id, sizeof id, "_%X.txt", static_cast<unsigned>(processId));
  suffix_ = id;
}

// The date and time in the name sort as text, so the greatest name is the newest file.
std::filesystem::path TraceLogTail::NewestFile() const {
  std::filesystem::path newest;
  std::error_code code;
  for (std::filesystem::directory_iterator it(folder_, code), end; !code && it != end;
       it.increment(code)) {
    const std::string name = Utf8FromPath(it->path().filename());
    if (name.starts_with(prefix_) && name.ends_with(suffix_) &&
        (newest.empty() || name > Utf8FromPath(newest.filename()))) {
      newest = it->path();
    }
  }
  return newest;
}

// The folder is looked at again only when the current file has nothing new: a folder may hold
// many old logs, and a new file only starts when the date changes.
std::vector<std::string> TraceLogTail::NewLines() {
  std::vector<std::string> lines = file_.empty() ? std::vector<std::string>() : ReadNewLines();
  if (!lines.empty()) return lines;
  const std::filesystem::path newest = NewestFile();
  if (newest.empty() || newest == file_) return lines;
  file_ = newest;
  offset_ = 0;
  return ReadNewLines();
}

std::vector<std::string> TraceLogTail::ReadNewLines() {
  // A FIFO or a device under the name would hold the open, or the read, for ever.
  std::error_code code;
  if (!std::filesystem::is_regular_file(file_, code)) return {};
  std::ifstream in(file_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset_));
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::size_t markBytes = offset_ == 0 && bytes.starts_with("\xFF\xFE") ? 2 : 0;
  const WString text = FromLittleEndian(bytes, markBytes);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(u"\r\n", start)) != WString::npos; start = end + 2) {
    lines.push_back(ToUtf8(text.substr(start, end - start)));
  }
  // Only whole lines are consumed; the rest is read again next time.
  offset_ += markBytes + start * 2;
  return lines;
}

}  // namespace host
