#include "search/artist_url_cache.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "diag/trace_log.h"
#include "platform/case_map.h"
#include "platform/file.h"
#include "profile/profile.h"
#include "platform/system_error.h"
#include "search/leading_char.h"
#include "search/name_distance.h"

namespace {

constexpr char16_t kSeparator = u'/';
constexpr char16_t kUrlKey[] = u"ArtistUrl";
constexpr char16_t kWriteFails[] = u"WriteArtistUrl to LocalCache fails for: ";

// A name as the cache files match it: trimmed, every unit upper-case mapped.
WString FoldedName(WStringView name) {
  WString folded(search::TrimName(name));
  for (char16_t& c : folded) c = platform::ToUpper(c);
  return folded;
}

// The names a section name gives when read from the zero-separated list the profile layer
// fills: a name holding a zero unit (a hand-edited file) reads as several, and an empty one
// ends the list. False once visit or the list stops.
template <typename Visit>
bool VisitListedNames(WStringView section, const Visit& visit) {
  for (;;) {
    const std::size_t zero = section.find(u'\0');
    const WStringView piece = section.substr(0, zero);
    if (piece.empty() || !visit(piece)) return false;
    if (zero == WStringView::npos) return true;
    section.remove_prefix(zero + 1);
  }
}

// The queue's key of a name in a file: a path holds no zero unit, so the pair reads back one way.
WString QueueKey(const WString& path, const WString& folded) {
  WString key;
  key.reserve(path.size() + 1 + folded.size());
  key.append(path).push_back(u'\0');
  key.append(folded);
  return key;
}

}  // namespace

CArtistUrlCache::CArtistUrlCache(const WString& rootFolderValue, const WString& sourceNameValue,
                                 const WString& sourceIdValue)
    : rootFolder(rootFolderValue), sourceName(sourceNameValue), sourceId(sourceIdValue) {
  if (!rootFolder.empty() && rootFolder.back() != kSeparator) rootFolder += kSeparator;
}

// A folder that appeared meanwhile (another process sharing the cache made it) is as good as
// one this call made.
bool CArtistUrlCache::EnsureFolder(const WString& folder) {
  if (platform::File::Exists(folder)) return true;
  if (platform::File::CreateDirectory(folder)) return true;
  const std::uint32_t code = platform::GetLastErrorCode();
  if (code == platform::error::kAlreadyExists && platform::File::IsDirectory(folder)) return true;
  diag::TraceLastError(CTraceLog::Error,
                       u"GetCacheFileName():Can not create directory: " + folder + u", ", code);
  return false;
}

std::int32_t CArtistUrlCache::GetCacheFileName(const WString& name, WString& path) {
  path = rootFolder + sourceName + kSeparator;
  if (!EnsureFolder(path)) return 0;
  path += sourceId + kSeparator;
  if (!EnsureFolder(path)) return 0;
  char16_t leading = 0;
  if (!search::GetLeadingChar(name, leading, u'#', 0)) {
    diag::TraceWrite(CTraceLog::Info, u"GetCacheFileName():GetLeadingChar fails: " + name);
    return 0;
  }
  path += leading;
  path += u".ARTISTCACHE";
  return 1;
}

// The first queued entry of that file whose name the files would match with name.
const CArtistUrlCache::QueuedUrl* CArtistUrlCache::FindQueued(const WString& path,
                                                             WStringView name) const {
  if (queued.empty()) return nullptr;
  const auto found = queuedAt.find(QueueKey(path, FoldedName(name)));
  return found == queuedAt.end() ? nullptr : &queued[found->second];
}

// The address as a read of the file would give it: a queued one first, since it is newer.
std::int32_t CArtistUrlCache::ReadUrl(const WString& path, const WString& section,
                                      WString& url) const {
  if (const QueuedUrl* entry = FindQueued(path, section)) {
    url.assign(entry->url, 0, kUrlBufferSize - 1);
    return url.empty() ? 0 : 1;
  }
  char16_t buffer[kUrlBufferSize];
  const std::uint32_t length =
      profile::ReadProfileString(section.c_str(), kUrlKey, u"", buffer, kUrlBufferSize, path);
  url.assign(buffer, length);
  return length > 0 ? 1 : 0;
}

std::int32_t CArtistUrlCache::ReadArtistUrl(const WString& name, WString& url, float threshold) {
  WString path;
  if (!GetCacheFileName(name, path)) return 0;
  platform::CriticalSectionLock guard(lock);
  if (ReadUrl(path, name, url)) return 1;

  // Every section in file order, then the queued names the file does not hold yet (a queued
  // name it holds was offered already, with the same distance, and the earlier one wins).
  // The name as the distance reads it: up to its first zero unit, if any.
  const WStringView wanted(name.c_str());
  const CNameDistance measure(0);
  WString closest;
  bool found = false;
  const auto offer = [&](WStringView section) {
    const float distance = measure.DistanceBelow(wanted, section, threshold);
    if (distance < threshold) {
      closest.assign(section);
      threshold = distance;
      found = true;
      if (distance == 0.0f) return false;
    }
    return true;
  };
  // Names too far off in length cannot come under the threshold: the file passes over them
  // undecoded. Without brackets on either side no edit is cheaper than a space, so the length
  // must match more closely. The limits narrow no further as the threshold falls; the
  // distance does the rest.
  const std::size_t length = search::TrimName(wanted).size();
  const std::uint64_t bracketBits = profile::ProfileUnitMask(CNameDistance::kBracketCharacters);
  const bool wantedHasBracket = (profile::ProfileUnitMask(wanted) & bracketBits) != 0;
  const std::size_t anyGap = measure.MaxLengthGap(threshold, true);
  const std::size_t plainGap = measure.MaxLengthGap(threshold, false);
  const auto keep = [&](std::size_t candidate, std::uint64_t units) {
    const std::size_t gap = candidate > length ? candidate - length : length - candidate;
    return gap <= (wantedHasBracket || (units & bracketBits) != 0 ? anyGap : plainGap);
  };
  bool going = true;
  profile::VisitProfileSectionNames(
      path,
      [&](WStringView section) {
        going = VisitListedNames(section, offer);
        return going;
      },
      keep);
  for (std::size_t i = 0; going && i < queued.size(); ++i) {
    if (queued[i].path == path) going = offer(queued[i].name);
  }
  if (!found) return 0;
  return ReadUrl(path, closest, url) && !url.empty() ? 1 : 0;
}

// Names come from the lyrics site. A line break, another control character or a bracket in a
// section name could end the header early or forge another section, so such names are never
// written.
bool CArtistUrlCache::IsStorableName(const WString& name) {
  return std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == u'[' || c == u']';
  });
}

std::int32_t CArtistUrlCache::WriteArtistUrl(const WString& name, const WString& url) {
  WString path;
  if (!GetCacheFileName(name, path)) return 0;  // reports a name without a leading character
  // Refused before queueing, so that one bad entry never costs a pass its good ones.
  if (!IsStorableName(name) || !profile::IsWritableProfileText(name.c_str(), kUrlKey,
                                                                url.c_str())) {
    diag::TraceWrite(CTraceLog::Debug, WString(kWriteFails) + name);
    return 0;
  }
  bool written = false;
  {
    platform::CriticalSectionLock guard(lock);
    if (passDepth > 0) {
      Queue(path, name, url);
      return 1;
    }
    written = WriteValues({{name, kUrlKey, url}}, path, nullptr);
  }
  if (!written) {
    diag::TraceWrite(CTraceLog::Debug, WString(kWriteFails) + name);
    return 0;
  }
  return 1;
}

// A later write of the same name replaces the queued address where it stands, as the file
// keeps a section where it first appeared.
void CArtistUrlCache::Queue(const WString& path, const WString& name, const WString& url) {
  WString folded = FoldedName(name);
  const auto [at, added] = queuedAt.try_emplace(QueueKey(path, folded), queued.size());
  if (!added) {
    queued[at->second].url = url;
    return;
  }
  queued.push_back({path, name, std::move(folded), url});
}

void CArtistUrlCache::BeginWritePass() {
  platform::CriticalSectionLock guard(lock);
  ++passDepth;
}

void CArtistUrlCache::EndWritePass(const std::function<bool()>& giveUp) {
  platform::CriticalSectionLock guard(lock);
  if (passDepth > 0 && --passDepth == 0) WriteQueued(giveUp);
}

CArtistUrlCache::~CArtistUrlCache() {
  platform::CriticalSectionLock guard(lock);
  WriteQueued();
}

// One write per file, its entries in the order they were queued. Called with the lock held.
void CArtistUrlCache::WriteQueued(const std::function<bool()>& giveUp) {
  std::vector<QueuedUrl> pending;
  pending.swap(queued);
  queuedAt.clear();
  std::vector<bool> done(pending.size(), false);
  for (std::size_t first = 0; first < pending.size(); ++first) {
    if (done[first]) continue;
    std::vector<profile::ProfileValue> values;
    std::vector<std::size_t> members;
    for (std::size_t i = first; i < pending.size(); ++i) {
      if (done[i] || pending[i].path != pending[first].path) continue;
      values.push_back({pending[i].name, kUrlKey, pending[i].url});
      members.push_back(i);
      done[i] = true;
    }
    if (WriteValues(values, pending[first].path, giveUp)) continue;
    for (const std::size_t i : members)
      diag::TraceWrite(CTraceLog::Debug, WString(kWriteFails) + pending[i].name);
  }
}

// A file whose lock another process held past the wait is left alone from then on: the search
// goes on without it, and the log says once why its entries are missing. Called with the lock
// held.
bool CArtistUrlCache::WriteValues(const std::vector<profile::ProfileValue>& values,
                                  const WString& path, const std::function<bool()>& giveUp) {
  if (std::find(lockedFiles.begin(), lockedFiles.end(), path) != lockedFiles.end()) return false;
  if (profile::WriteProfileStrings(values, path, giveUp)) return true;
  if (platform::GetLastErrorCode() == platform::error::kSharingViolation) {
    lockedFiles.push_back(path);
    diag::TraceWrite(CTraceLog::Warning,
                     u"LocalCache file is locked by another process, going on without it: " +
                         path);
  }
  return false;
}

void CArtistUrlCache::ReadSectionNames(const WString& path, std::vector<WString>& names) {
  std::uint32_t capacity = kSectionNamesCapacity;
  std::vector<char16_t> buffer(capacity);
  std::uint32_t length = profile::ReadProfileSectionNames(buffer.data(), capacity, path);
  // size - 2 is the profile layer's sign of a cut list.
  while (length == capacity - 2 && capacity <= std::numeric_limits<std::uint32_t>::max() / 2) {
    capacity *= 2;
    buffer.assign(capacity, 0);
    length = profile::ReadProfileSectionNames(buffer.data(), capacity, path);
  }
  names.clear();
  for (const char16_t* name = buffer.data(); *name != 0;) {
    const WString entry(name);
    name += entry.size() + 1;
    names.push_back(entry);
  }
}
