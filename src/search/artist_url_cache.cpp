#include "search/artist_url_cache.h"

#include <algorithm>
#include <limits>

#include "diag/trace_log.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/system_error.h"
#include "search/leading_char.h"
#include "search/name_distance.h"

namespace {

constexpr char16_t kSeparator = u'/';
constexpr char16_t kUrlKey[] = u"ArtistUrl";

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
  TraceLastError(CTraceLog::Error, u"GetCacheFileName():Can not create directory: " + folder + u", ",
                 code);
  return false;
}

std::int32_t CArtistUrlCache::GetCacheFileName(const WString& name, WString& path) {
  path = rootFolder + sourceName + kSeparator;
  if (!EnsureFolder(path)) return 0;
  path += sourceId + kSeparator;
  if (!EnsureFolder(path)) return 0;
  char16_t leading = 0;
  if (!GetLeadingChar(name, leading, u'#', 0)) {
    TraceWrite(CTraceLog::Info, u"GetCacheFileName():GetLeadingChar fails: " + name);
    return 0;
  }
  path += leading;
  path += u".ARTISTCACHE";
  return 1;
}

std::int32_t CArtistUrlCache::ReadUrl(const WString& path, const WString& section, WString& url) {
  char16_t buffer[kUrlBufferSize];
  const std::uint32_t length =
      platform::ReadProfileString(section.c_str(), kUrlKey, u"", buffer, kUrlBufferSize, path);
  url.assign(buffer, length);
  return length > 0 ? 1 : 0;
}

std::int32_t CArtistUrlCache::ReadArtistUrl(const WString& name, WString& url, float threshold) {
  WString path;
  if (!GetCacheFileName(name, path)) return 0;
  platform::CriticalSectionLock guard(lock);
  if (ReadUrl(path, name, url)) return 1;

  std::vector<WString> sections;
  ReadSectionNames(path, sections);
  const CNameDistance measure(0);
  const WString* closest = nullptr;
  for (const WString& section : sections) {
    const float distance = measure.Distance(name, section);
    if (distance < threshold) {
      closest = &section;
      threshold = distance;
      if (distance == 0.0f) break;
    }
  }
  if (closest == nullptr) return 0;
  return ReadUrl(path, *closest, url) && !url.empty() ? 1 : 0;
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
  if (!IsStorableName(name)) {
    TraceWrite(CTraceLog::Debug, u"WriteArtistUrl to LocalCache fails for: " + name);
    return 0;
  }
  bool written = false;
  {
    platform::CriticalSectionLock guard(lock);
    written = platform::WriteProfileString(name.c_str(), kUrlKey, url.c_str(), path);
  }
  if (!written) {
    TraceWrite(CTraceLog::Debug, u"WriteArtistUrl to LocalCache fails for: " + name);
    return 0;
  }
  return 1;
}

void CArtistUrlCache::ReadSectionNames(const WString& path, std::vector<WString>& names) {
  std::uint32_t capacity = kSectionNamesCapacity;
  std::vector<char16_t> buffer(capacity);
  std::uint32_t length = platform::ReadProfileSectionNames(buffer.data(), capacity, path);
  // size - 2 is the profile layer's sign of a cut list.
  while (length == capacity - 2 && capacity <= std::numeric_limits<std::uint32_t>::max() / 2) {
    capacity *= 2;
    buffer.assign(capacity, 0);
    length = platform::ReadProfileSectionNames(buffer.data(), capacity, path);
  }
  names.clear();
  for (const char16_t* name = buffer.data(); *name != 0;) {
    const WString entry(name);
    name += entry.size() + 1;
    names.push_back(entry);
  }
}
