#include "diag/trace_writer.h"

#include <string>

#include "platform/debug_output.h"
#include "platform/process.h"

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::uint32_t kSpinWaitMs = 25;

// Trace files are UTF-16 little-endian whatever the machine's byte order.
std::string LittleEndian(WStringView text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace

CTraceWriter::CTraceWriter() : clock_(&platform::GetLocalTime) {}

CTraceWriter::~CTraceWriter() { Shutdown(); }

const char16_t* CTraceWriter::LevelTag(int level) {
  static constexpr const char16_t* kTags[] = {u"", u"ERR", u"WRN", u"INF", u"DBG", u"-->", u"---"};
  if (level < 0 || level > 69) return kTags[0];
  return kTags[level / 10];
}

void CTraceWriter::Acquire() {
  const std::uint32_t self = platform::CurrentThreadId();
  for (;;) {
    if (owner_.load() == self) return;
    std::uint32_t expected = 0;
    if (owner_.compare_exchange_strong(expected, self)) return;
    platform::Sleep(kSpinWaitMs);
  }
}

void CTraceWriter::Release() {
  std::uint32_t expected = platform::CurrentThreadId();
  owner_.compare_exchange_strong(expected, 0);
}

void CTraceWriter::SetFilePrefix(const WString& prefix) {
  Acquire();
  file_.reset();
  prefix_ = std::make_unique<WString>(prefix);
  Release();
}

void CTraceWriter::SetLevel(int n) {
  Acquire();
  level_.store(n > 0 ? n : 0);
  Release();
}

void CTraceWriter::Close() {
  Acquire();
  file_.reset();
  Release();
}

void CTraceWriter::Shutdown() {
  Acquire();
  file_.reset();
  prefix_.reset();
  Release();
}

bool CTraceWriter::GetFilePath(char16_t* buffer, std::size_t capacity) {
  Acquire();
  const bool fits = buffer != nullptr && capacity >= path_.size() + 1;
  if (fits) path_.copy(buffer, path_.size()), buffer[path_.size()] = 0;
  Release();
  return fits;
}

bool CTraceWriter::SameDate(const platform::LocalTime& now) const {
  return now.year == created_.year && now.month == created_.month && now.day == created_.day;
}

void CTraceWriter::OpenNewFile() {
  file_.reset();
  if (!prefix_) return;
  const platform::LocalTime now = clock_();
  WString path = encoding::Format(u"%s_%04d%02d%02d_%02d%02d%02d_%X.txt", *prefix_, now.year,
                                  now.month, now.day, now.hour, now.minute, now.second,
                                  platform::CurrentProcessId());
  // A name that does not fit is not cut: a cut name could land in another folder's file. Nor
  // does the path keep naming the previous file, which a merge would then take and delete.
  if (path.size() > kMaxPath) {
    path_.clear();
    return;
  }
  path_ = std::move(path);
  auto file = std::make_unique<platform::File>();
  // A FIFO or another user's link planted under the name (which can be foreseen: the date and
  // the process) is refused, not waited on or followed.
  if (!file->Open(path_, platform::File::modeCreate | platform::File::modeWrite |
                             platform::File::shareDenyWrite | platform::File::regularFileOnly)) {
    return;  // the line is lost; the next one tries again
  }
  try {
    const std::string mark = LittleEndian(WStringView(&kByteOrderMark, 1));
    file->Write(mark.data(), mark.size());
    fileLength_ = mark.size();
  } catch (const platform::FileError&) {
    return;
  }
  created_ = now;
  file_ = std::move(file);
}

void CTraceWriter::WriteLine(int level, const char16_t* format,
                             std::initializer_list<encoding::FormatArg> args) {
  // Cheap rejection before the lock, the clock and the formatting.
  const int current = level_.load(std::memory_order_relaxed);
  if (format == nullptr || current == 0 || level > current) return;

  Acquire();
  try {
    const platform::LocalTime now = clock_();
    if (!file_ || !SameDate(now)) OpenNewFile();
    WString line = encoding::Format(u"%02d:%02d:%02d.%03d %X %s: ", now.hour, now.minute,
                                    now.second, now.millisecond, platform::CurrentThreadId(),
                                    LevelTag(level));
    line += encoding::FormatWide(format, args);
    line += u"\r\n";
    platform::WriteDebugOutput(line);
    if (file_) WriteWholeLine(LittleEndian(line));
  } catch (...) {
    // A line that cannot be written is lost; writing never fails towards the caller.
  }
  Release();
}

void CTraceWriter::WriteWholeLine(const std::string& bytes) {
  try {
    file_->Write(bytes.data(), bytes.size());
    fileLength_ += bytes.size();
  } catch (const platform::FileError&) {
    // A full disk may have taken part of the line: take it back, so that the file keeps whole
    // lines only and the next line starts where this one did.
    try {
      file_->SetLength(fileLength_);
      file_->Seek(static_cast<std::int64_t>(fileLength_), platform::File::begin);
    } catch (const platform::FileError&) {
    }
  }
}
