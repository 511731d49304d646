#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "platform/posix/profile_document.h"
#include "platform/system_error.h"

namespace platform {
namespace {

using DocumentPtr = std::shared_ptr<const ProfileDocument>;

// What identifies one version of a file: writers always replace the file by a new inode, so
// a changed file shows a new inode, size or time.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileStamp Of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

// Parsed files by path, each valid only while its stamp matches the file on disk.
class ParsedFiles {
 public:
  DocumentPtr Find(const std::string& path, const FileStamp& stamp) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = entries_.find(path);
    if (found == entries_.end() || !(found->second.stamp == stamp)) return nullptr;
    return found->second.document;
  }
  void Store(const std::string& path, const FileStamp& stamp, DocumentPtr document) {
    std::lock_guard<std::mutex> guard(mutex_);
    // A handful of files is the normal working set; an unbounded map would only grow.
    if (entries_.size() >= kMaxEntries && entries_.find(path) == entries_.end()) {
      entries_.clear();
    }
    entries_[path] = {stamp, std::move(document)};
  }

 private:
  static constexpr std::size_t kMaxEntries = 64;
  struct Entry {
    FileStamp stamp;
    DocumentPtr document;
  };
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

// Destroyed when the library unloads (a plug-in must not leave its heap behind); created by
// the library's start-up before its other process-wide objects, so destroyed after them.
ParsedFiles& Parsed() {
  static ParsedFiles parsed;
  return parsed;
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Gives up ownership without closing.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Windows tells a missing folder (3) from a missing file (2).
std::uint32_t OpenError(int errnoValue, bool creating) {
  if (errnoValue == ENOENT && creating) return error::kPathNotFound;
  return ErrorFromErrno(errnoValue);
}

bool ReadAll(int fd, std::string& bytes) {
  bytes.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// The document of an open file, from memory when the file is unchanged since it was parsed.
DocumentPtr LoadOpen(const std::string& path, int fd, const struct stat& st) {
  const FileStamp stamp = FileStamp::Of(st);
  if (DocumentPtr known = Parsed().Find(path, stamp)) return known;
  std::string bytes;
  if (!ReadAll(fd, bytes)) {
    SetLastErrorCode(ErrorFromErrno(errno));
    return nullptr;
  }
  auto document = std::make_shared<const ProfileDocument>(ProfileDocument::Parse(bytes));
  Parsed().Store(path, stamp, document);
  return document;
}

// The current document of a file for reading, or null (last error set) when it cannot be read.
// Readers need no lock: writers replace the file whole.
DocumentPtr LoadForRead(const WString& path) {
  const std::string native = PathToNative(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) == 0) {
    if (DocumentPtr known = Parsed().Find(native, FileStamp::Of(st))) return known;
  }
  const Descriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    SetLastErrorCode(OpenError(errno, false));
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastErrorCode(error::kAccessDenied);
    return nullptr;
  }
  return LoadOpen(native, fd.get(), st);
}

// Opens the file and takes its exclusive lock, making sure the locked inode is still the one
// the path names: a writer that held the lock before may have renamed a new file over it.
// Returns -1 with the last error set on failure; with create false, -1 and error 2 when the
// file does not exist.
int OpenLocked(const std::string& native, bool create, struct stat& st) {
  for (;;) {
    Descriptor fd(::open(native.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666));
    if (fd.get() < 0) {
      SetLastErrorCode(OpenError(errno, create));
      return -1;
    }
    int locked;
    do {
      locked = ::flock(fd.get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    struct stat named {};
    if (locked != 0 || ::fstat(fd.get(), &st) != 0) {
      SetLastErrorCode(ErrorFromErrno(errno));
      return -1;
    }
    if (::stat(native.c_str(), &named) == 0 && named.st_dev == st.st_dev &&
        named.st_ino == st.st_ino) {
      return fd.Release();
    }
  }
}

// A new file beside the target, named after it and this process, created exclusively.
int CreateTemporary(const std::string& native, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = native.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : native.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(counter++);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Sets the file's modification time from the fine clock. The kernel stamps writes with a
// coarse clock (milliseconds), and a freed inode number is soon reused: two versions of a file
// written in quick succession could otherwise share inode, size and time, and a reader would
// take the newer one for the older one it has parsed.
bool StampNow(int fd) {
  timespec times[2];
  if (::clock_gettime(CLOCK_REALTIME, &times[0]) != 0) return false;
  times[1] = times[0];
  return ::futimens(fd, times) == 0;
}

// Writes the document to a temporary file and renames it over the target, so the path names
// either the old or the new file, whole, at every moment, whenever a writer dies. There is no
// flush to the disk: the files are a cache that refills itself, the artist search writes one
// entry per result on a page, and a flush costs milliseconds each on a busy disk (ext4 orders
// the data of a file renamed over another before the rename in any case).
bool Replace(const std::string& native, const struct stat& old, const DocumentPtr& document) {
  std::string temporary;
  const Descriptor fd(CreateTemporary(native, temporary));
  bool done = fd.get() >= 0;
  if (done) {
    done = ::fchmod(fd.get(), old.st_mode & 07777) == 0 &&
           WriteAll(fd.get(), document->Bytes()) && StampNow(fd.get()) &&
           ::rename(temporary.c_str(), native.c_str()) == 0;
  }
  if (!done) {
    const int saved = errno;
    if (fd.get() >= 0) ::unlink(temporary.c_str());
    SetLastErrorCode(ErrorFromErrno(saved));
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0) Parsed().Store(native, FileStamp::Of(st), document);
  return true;
}

enum class Edit { Set, DeleteKey, DeleteSection };

bool EditLocked(const WString& path, Edit edit, WStringView section, WStringView key,
                WStringView value) {
  const std::string native = PathToNative(path);
  struct stat st {};
  const Descriptor fd(OpenLocked(native, edit == Edit::Set, st));
  if (fd.get() < 0) {
    // Nothing to delete from a file that does not exist.
    return edit != Edit::Set && GetLastErrorCode() == error::kFileNotFound;
  }
  // Under the lock the file is always read afresh: a stale document written back would lose
  // another writer's change, and the read costs no more than the write that follows.
  std::string bytes;
  if (!ReadAll(fd.get(), bytes)) {
    SetLastErrorCode(ErrorFromErrno(errno));
    return false;
  }
  auto edited = std::make_shared<ProfileDocument>(ProfileDocument::Parse(bytes));
  bool changed = false;
  switch (edit) {
    case Edit::Set: changed = edited->SetValue(section, key, value); break;
    case Edit::DeleteKey: changed = edited->DeleteKey(section, key); break;
    case Edit::DeleteSection: changed = edited->DeleteSection(section); break;
  }
  return !changed || Replace(native, st, edited);
}

bool HasLineBreak(WStringView text) { return text.find_first_of(u"\r\n") != WStringView::npos; }

// Text that would not read back as written: a line break anywhere splits the line, and a key
// holding "=" or starting like a header or a comment changes what the line is.
bool IsWritable(const char16_t* section, const char16_t* key, const char16_t* value) {
  if (section == nullptr || TrimProfileText(section).empty() || HasLineBreak(section)) {
    return false;
  }
  if (key == nullptr) return true;
  const WStringView trimmedKey = TrimProfileText(key);
  if (trimmedKey.empty() || HasLineBreak(key) || trimmedKey.find(u'=') != WStringView::npos ||
      trimmedKey[0] == u'[' || trimmedKey[0] == u';') {
    return false;
  }
  return value == nullptr || !HasLineBreak(value);
}

std::uint32_t CopyText(WStringView text, char16_t* buffer, std::uint32_t size) {
  const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
  std::copy_n(text.data(), count, buffer);
  buffer[count] = 0;
  return static_cast<std::uint32_t>(count);
}

std::uint32_t EmptyList(char16_t* buffer, std::uint32_t size) {
  if (size > 0) buffer[0] = 0;
  if (size > 1) buffer[1] = 0;
  return 0;
}

// Names, each terminated, and a final terminator. A list that does not fit with room to spare
// is cut inside its last name and reported as size - 2, Windows' sign of truncation.
std::uint32_t CopyList(const std::vector<WStringView>& names, char16_t* buffer,
                       std::uint32_t size) {
  if (size == 0) return 0;
  if (names.empty()) return EmptyList(buffer, size);
  std::size_t room = size - 1;  // the final terminator is always kept
  char16_t* out = buffer;
  for (const WStringView name : names) {
    const std::size_t needed = name.size() + 1;
    if (needed >= room) {
      if (size < 2) break;  // no room for even a cut name: an empty list, not size - 2
      out = std::copy_n(name.data(), room - 1, out);
      *out++ = 0;
      *out = 0;
      return size - 2;
    }
    out = std::copy_n(name.data(), name.size(), out);
    *out++ = 0;
    room -= needed;
  }
  *out = 0;
  return static_cast<std::uint32_t>(out - buffer);
}

}  // namespace

std::uint32_t ReadProfileString(const char16_t* section, const char16_t* key,
                                const char16_t* defaultValue, char16_t* buffer,
                                std::uint32_t size, const WString& path) {
  if (section == nullptr) return ReadProfileSectionNames(buffer, size, path);
  if (size == 0 || buffer == nullptr) return 0;
  const DocumentPtr document = LoadForRead(path);
  if (key == nullptr) {
    return document ? CopyList(document->KeyNames(section), buffer, size)
                    : EmptyList(buffer, size);
  }
  if (document != nullptr) {
    if (const WString* found = document->FindValue(section, key)) {
      WStringView value = *found;
      if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
        value = value.substr(1, value.size() - 2);
      }
      return CopyText(value, buffer, size);
    }
  }
  WStringView fallback = defaultValue ? defaultValue : u"";
  while (!fallback.empty() && fallback.back() == u' ') fallback.remove_suffix(1);
  return CopyText(fallback, buffer, size);
}

std::uint32_t ReadProfileSectionNames(char16_t* buffer, std::uint32_t size, const WString& path) {
  if (size == 0 || buffer == nullptr) return 0;
  const DocumentPtr document = LoadForRead(path);
  if (document == nullptr) return EmptyList(buffer, size);
  return CopyList(document->SectionNames(), buffer, size);
}

bool WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                        const WString& path) {
  if (!IsWritable(section, key, value)) {
    SetLastErrorCode(error::kInvalidParameter);
    return false;
  }
  if (key == nullptr) return EditLocked(path, Edit::DeleteSection, section, {}, {});
  if (value == nullptr) return EditLocked(path, Edit::DeleteKey, section, key, {});
  return EditLocked(path, Edit::Set, section, key, value);
}

void PrepareProfileCache() { Parsed(); }

}  // namespace platform
