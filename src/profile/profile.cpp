#include "profile/profile.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "profile/profile_document.h"
#include "platform/profile_file.h"
#include "platform/system_error.h"

namespace profile {
namespace {

// Documents are made mutable and shared as const: a writer that takes the only reference out
// of the cache may edit it in place.
using DocumentPtr = std::shared_ptr<const ProfileDocument>;
using EditablePtr = std::shared_ptr<ProfileDocument>;

// Parsed files by path, each valid only while its stamp matches the file on disk.
class ParsedFiles {
 public:
  DocumentPtr Find(const WString& path, const platform::ProfileStamp& stamp) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = entries_.find(path);
    if (found == entries_.end() || !(found->second.stamp == stamp)) return nullptr;
    return found->second.document;
  }
  // Removes the document from the cache and hands it over when it is current. No reader can
  // reach it any more, so when no reader still holds it the caller may edit it in place.
  DocumentPtr Take(const WString& path, const platform::ProfileStamp& stamp) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = entries_.find(path);
    if (found == entries_.end()) return nullptr;
    DocumentPtr document = std::move(found->second.document);
    const bool current = found->second.stamp == stamp;
    entries_.erase(found);
    return current ? document : nullptr;
  }
  void Store(const WString& path, const platform::ProfileStamp& stamp, DocumentPtr document) {
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
    platform::ProfileStamp stamp;
    DocumentPtr document;
  };
  std::mutex mutex_;
  std::unordered_map<WString, Entry> entries_;
};

// Destroyed when the library unloads (a plug-in must not leave its heap behind); created by
// the library's start-up before its other process-wide objects, so destroyed after them.
ParsedFiles& Parsed() {
  static ParsedFiles parsed;
  return parsed;
}

// The current document of a file for reading, or null (last platform::error set) when it cannot be read.
// Readers need no lock: writers replace the file whole.
DocumentPtr LoadForRead(const WString& path) {
  platform::ProfileStamp stamp;
  if (platform::StampProfilePath(path, stamp)) {
    if (DocumentPtr known = Parsed().Find(path, stamp)) return known;
  }
  const std::unique_ptr<platform::ProfileFile> file = platform::ProfileFile::OpenForRead(path);
  if (file == nullptr) return nullptr;
  if (DocumentPtr known = Parsed().Find(path, file->Stamp())) return known;
  const bool settled = platform::StampIsSettled(file->Stamp());
  std::string bytes;
  if (!file->ReadAll(bytes)) return nullptr;
  DocumentPtr document =
      std::make_shared<ProfileDocument>(ProfileDocument::Parse(std::move(bytes)));
  // A version read within its change's tick is not kept: its stamp may name another one too.
  if (settled) Parsed().Store(path, file->Stamp(), document);
  return document;
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
bool KnownUnchanged(const WString& path, const std::vector<Edit>& edits) {
  platform::ProfileStamp stamp;
  if (!platform::StampProfilePath(path, stamp)) return false;
  const DocumentPtr known = Parsed().Find(path, stamp);
  return known != nullptr &&
         std::all_of(edits.begin(), edits.end(),
                     [&](const Edit& edit) { return ChangesNothing(*known, edit); });
}

// The document of the locked file, to be edited: the parsed one when the file is unchanged
// since it was parsed (taken in place when nobody else holds it), else read afresh. Under the
// lock a stale document must never be written back: it would lose another writer's change.
EditablePtr LoadForEdit(const WString& path, platform::ProfileFile& file) {
  if (DocumentPtr known = Parsed().Take(path, file.Stamp())) {
    if (known.use_count() == 1) return std::const_pointer_cast<ProfileDocument>(known);
    return std::make_shared<ProfileDocument>(*known);
  }
  std::string bytes;
  if (!file.ReadAll(bytes)) return nullptr;
  return std::make_shared<ProfileDocument>(ProfileDocument::Parse(std::move(bytes)));
}

// Applies the edits in order under the file's lock, replacing the file once if any changed it.
bool EditLocked(const WString& path, const std::vector<Edit>& edits,
                const std::function<bool()>& giveUp = nullptr) {
  if (KnownUnchanged(path, edits)) return true;
  const bool creates = std::any_of(edits.begin(), edits.end(),
                                   [](const Edit& edit) { return edit.kind == EditKind::Set; });
  const std::unique_ptr<platform::ProfileFile> file =
      platform::ProfileFile::OpenLocked(path, creates, giveUp);
  if (file == nullptr) {
    // Nothing to delete from a file that does not exist.
    return !creates && platform::GetLastErrorCode() == platform::error::kFileNotFound;
  }
  const bool settled = platform::StampIsSettled(file->Stamp());
  const EditablePtr edited = LoadForEdit(path, *file);
  if (edited == nullptr) return false;
  bool changed = false;
  for (const Edit& edit : edits) changed = Apply(*edited, edit) || changed;
  if (!changed) {
    if (settled) Parsed().Store(path, file->Stamp(), edited);
    return true;
  }
  platform::ProfileStamp replaced;
  if (!file->Replace(edited->ByteRuns(), replaced)) return false;
  // The file just made is as new as a file gets: the next reader parses it again, unless it
  // comes after its tick.
  if (platform::StampIsSettled(replaced)) Parsed().Store(path, replaced, edited);
  return true;
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

bool HasLineBreak(WStringView text) { return text.find_first_of(u"\r\n") != WStringView::npos; }

}  // namespace

// Text that would not read back as written: a line break anywhere splits the line, and a key
// holding "=" or starting like a header or a comment changes what the line is.
bool IsWritableProfileText(const char16_t* section, const char16_t* key,
                           const char16_t* value) {
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
    // A matching pair of double or single quotes goes, as GetPrivateProfileStringW does it.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
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
    platform::SetLastErrorCode(platform::error::kInvalidParameter);
    return false;
  }
  if (key == nullptr) return EditLocked(path, OneEdit(EditKind::DeleteSection, section, {}, {}));
  if (value == nullptr) return EditLocked(path, OneEdit(EditKind::DeleteKey, section, key, {}));
  return EditLocked(path, OneEdit(EditKind::Set, section, key, value));
}

bool WriteProfileStrings(const std::vector<ProfileValue>& values, const WString& path,
                         const std::function<bool()>& giveUp) {
  std::vector<Edit> edits;
  edits.reserve(values.size());
  for (const ProfileValue& entry : values) {
    if (!IsWritableProfileText(entry.section.c_str(), entry.key.c_str(), entry.value.c_str())) {
      platform::SetLastErrorCode(platform::error::kInvalidParameter);
      return false;
    }
    // Each text is the C string it holds, as WriteProfileString takes it: what follows a NUL
    // was never checked above, and could carry a line break into the file.
    edits.push_back({EditKind::Set, entry.section.c_str(), entry.key.c_str(), entry.value.c_str()});
  }
  return edits.empty() || EditLocked(path, edits, giveUp);
}

void PrepareProfileCache() { Parsed(); }

}  // namespace profile
