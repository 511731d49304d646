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
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "platform/profile_document.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// Documents are made mutable and shared as const: a writer that takes the only reference out
// of the cache may edit it in place.
using DocumentPtr = std::shared_ptr<const ProfileDocument>;
using EditablePtr = std::shared_ptr<ProfileDocument>;

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
  // Removes the document from the cache and hands it over when it is current. No reader can
  // reach it any more, so when no reader still holds it the caller may edit it in place.
  DocumentPtr Take(const std::string& path, const FileStamp& stamp) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = entries_.find(path);
    if (found == entries_.end()) return nullptr;
    DocumentPtr document = std::move(found->second.document);
    const bool current = found->second.stamp == stamp;
    entries_.erase(found);
    return current ? document : nullptr;
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

bool WriteAll(int fd, std::string_view bytes) {
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

bool WriteRuns(int fd, const std::vector<std::string_view>& runs) {
  return std::all_of(runs.begin(), runs.end(),
                     [fd](std::string_view run) { return WriteAll(fd, run); });
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
  DocumentPtr document = std::make_shared<ProfileDocument>(ProfileDocument::Parse(std::move(bytes)));
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
           WriteRuns(fd.get(), document->ByteRuns()) && StampNow(fd.get()) &&
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

enum class EditKind { Set, DeleteKey, DeleteSection };

struct Edit {
  EditKind kind;
  WStringView section;
  WStringView key;
  WStringView value;
};

bool Apply(ProfileDocument& document, const Edit& edit) {
  switch (edit.kind) {
    case EditKind::Set: return document.SetValue(edit.section, edit.key, edit.value);
    case EditKind::DeleteKey: return document.DeleteKey(edit.section, edit.key);
    case EditKind::DeleteSection: return document.DeleteSection(edit.section);
  }
  return false;
}

// Whether a set would leave the document as it is. Deletions always go the locked way: they
// are rare, and a key line without "=" holds no value yet is still there to delete.
bool ChangesNothing(const ProfileDocument& document, const Edit& edit) {
  WString value;
  return edit.kind == EditKind::Set && document.FindValue(edit.section, edit.key, value) &&
         value == edit.value;
}

// True when the file is parsed and current in memory and no edit would change it: the
// commonest write of the artist cache, which sees the same names again and again, then takes
// no lock and touches no file. A writer that changes the file meanwhile is no different from
// one that came just after this call.
bool KnownUnchanged(const std::string& native, const std::vector<Edit>& edits) {
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return false;
  const DocumentPtr known = Parsed().Find(native, FileStamp::Of(st));
  return known != nullptr &&
         std::all_of(edits.begin(), edits.end(),
                     [&](const Edit& edit) { return ChangesNothing(*known, edit); });
}

// The document of the locked file, to be edited: the parsed one when the file is unchanged
// since it was parsed (taken in place when nobody else holds it), else read afresh. Under the
// lock a stale document must never be written back: it would lose another writer's change.
EditablePtr LoadForEdit(const std::string& native, int fd, const struct stat& st) {
  if (DocumentPtr known = Parsed().Take(native, FileStamp::Of(st))) {
    if (known.use_count() == 1) return std::const_pointer_cast<ProfileDocument>(known);
    return std::make_shared<ProfileDocument>(*known);
  }
  std::string bytes;
  if (!ReadAll(fd, bytes)) {
    SetLastErrorCode(ErrorFromErrno(errno));
    return nullptr;
  }
  return std::make_shared<ProfileDocument>(ProfileDocument::Parse(std::move(bytes)));
}

// Applies the edits in order under the file's lock, replacing the file once if any changed it.
bool EditLocked(const WString& path, const std::vector<Edit>& edits) {
  const std::string native = PathToNative(path);
  if (KnownUnchanged(native, edits)) return true;
  const bool creates = std::any_of(edits.begin(), edits.end(),
                                   [](const Edit& edit) { return edit.kind == EditKind::Set; });
  struct stat st {};
  const Descriptor fd(OpenLocked(native, creates, st));
  if (fd.get() < 0) {
    // Nothing to delete from a file that does not exist.
    return !creates && GetLastErrorCode() == error::kFileNotFound;
  }
  const EditablePtr edited = LoadForEdit(native, fd.get(), st);
  if (edited == nullptr) return false;
  bool changed = false;
  for (const Edit& edit : edits) changed = Apply(*edited, edit) || changed;
  if (!changed) {
    Parsed().Store(native, FileStamp::Of(st), edited);
    return true;
  }
  return Replace(native, st, edited);
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
class ListCopier {
 public:
  ListCopier(char16_t* buffer, std::uint32_t size) : buffer_(buffer), size_(size), out_(buffer) {}
  // Adds one name; false once the list is full and cut.
  bool Add(WStringView name) {
    const std::size_t needed = name.size() + 1;
    if (needed >= room_) {
      if (size_ < 2) return false;  // no room for even a cut name: an empty list, not size - 2
      out_ = std::copy_n(name.data(), room_ - 1, out_);
      *out_++ = 0;
      *out_ = 0;
      cut_ = true;
      return false;
    }
    out_ = std::copy_n(name.data(), name.size(), out_);
    *out_++ = 0;
    room_ -= needed;
    return true;
  }
  std::uint32_t Finish() {
    if (cut_) return size_ - 2;
    if (out_ == buffer_) return EmptyList(buffer_, size_);
    *out_ = 0;
    return static_cast<std::uint32_t>(out_ - buffer_);
  }

 private:
  char16_t* buffer_;
  std::uint32_t size_;
  char16_t* out_;
  std::size_t room_ = size_ - 1;  // the final terminator is always kept
  bool cut_ = false;
};

std::vector<Edit> OneEdit(EditKind kind, WStringView section, WStringView key,
                          WStringView value) {
  return {Edit{kind, section, key, value}};
}

}  // namespace

std::uint32_t ReadProfileString(const char16_t* section, const char16_t* key,
                                const char16_t* defaultValue, char16_t* buffer,
                                std::uint32_t size, const WString& path) {
  if (section == nullptr) return ReadProfileSectionNames(buffer, size, path);
  if (size == 0 || buffer == nullptr) return 0;
  const DocumentPtr document = LoadForRead(path);
  if (key == nullptr) {
    if (document == nullptr) return EmptyList(buffer, size);
    ListCopier list(buffer, size);
    document->VisitKeyNames(section, [&](WStringView name) { return list.Add(name); });
    return list.Finish();
  }
  WString found;
  if (document != nullptr && document->FindValue(section, key, found)) {
    WStringView value = found;
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
      value = value.substr(1, value.size() - 2);
    }
    return CopyText(value, buffer, size);
  }
  WStringView fallback = defaultValue ? defaultValue : u"";
  while (!fallback.empty() && fallback.back() == u' ') fallback.remove_suffix(1);
  return CopyText(fallback, buffer, size);
}

std::uint32_t ReadProfileSectionNames(char16_t* buffer, std::uint32_t size, const WString& path) {
  if (size == 0 || buffer == nullptr) return 0;
  const DocumentPtr document = LoadForRead(path);
  if (document == nullptr) return EmptyList(buffer, size);
  ListCopier list(buffer, size);
  document->VisitSectionNames([&](WStringView name) { return list.Add(name); });
  return list.Finish();
}

bool VisitProfileSectionNames(const WString& path, const std::function<bool(WStringView)>& visit,
                              const std::function<bool(std::size_t, std::uint64_t)>& keep) {
  const DocumentPtr document = LoadForRead(path);
  if (document == nullptr) return false;
  document->VisitSectionNames(visit, keep);
  return true;
}

bool WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                        const WString& path) {
  if (!IsWritableProfileText(section, key, value)) {
    SetLastErrorCode(error::kInvalidParameter);
    return false;
  }
  if (key == nullptr) return EditLocked(path, OneEdit(EditKind::DeleteSection, section, {}, {}));
  if (value == nullptr) return EditLocked(path, OneEdit(EditKind::DeleteKey, section, key, {}));
  return EditLocked(path, OneEdit(EditKind::Set, section, key, value));
}

bool WriteProfileStrings(const std::vector<ProfileValue>& values, const WString& path) {
  std::vector<Edit> edits;
  edits.reserve(values.size());
  for (const ProfileValue& entry : values) {
    if (!IsWritableProfileText(entry.section.c_str(), entry.key.c_str(), entry.value.c_str())) {
      SetLastErrorCode(error::kInvalidParameter);
      return false;
    }
    edits.push_back({EditKind::Set, entry.section, entry.key, entry.value});
  }
  return edits.empty() || EditLocked(path, edits);
}

void PrepareProfileCache() { Parsed(); }

}  // namespace platform
