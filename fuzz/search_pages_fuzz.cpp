// The search operations over a scraped page: FindArtist, FindArtistSongList, FindSong and
// GetLyrics run against a plug-in object whose every download returns the fuzzed page, with
// an artist URL cache in the process's temporary folder. Input: the artist name on the first
// line, the song title on the second, the page after them.
//
// Besides running clean, the results must keep their promises: addresses on the site, lyrics
// with CR LF breaks only and no tags, and a cache in which every section is one artist's
// address, whatever names the page made up.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "profile/profile.h"
#include "search/artist_lookup.h"
#include "search/artist_url_cache.h"
#include "search/lyrics_extraction.h"
#include "search/search_context.h"
#include "search/song_lookup.h"

namespace {

const WString kSiteHost = u"lyrics.example.test";
const WString kSourceName = u"Fuzz";
const WString kSourceId = u"1";

// Accepts names a few edits apart, so that near misses on the page are taken as well.
class Host : public CHostCallback {
 public:
  int QueryValue(const WString& name, void* value) override {
    if (name != u"MaxMatchDifference") return 0;
    *static_cast<float*>(value) = 30.0f;
    return 1;
  }
  void Notify() override {}
  bool QueryCancel() override { return false; }
};

class Songs : public SongList {
 public:
  void RemoveAll() override { entries.clear(); }
  void Append(const SongEntry& entry) override { entries.push_back(entry); }
  int GetCount() const override { return static_cast<int>(entries.size()); }
  std::vector<SongEntry> entries;
};

// A plug-in object that downloads nothing: every page is the fuzzed one.
class PagePlugin : public CLyricsPluginObject {
 public:
  explicit PagePlugin(const WString& page) : page_(page) {}
  const search::SearchContext* context = nullptr;

  int SetProperty(const WString&, const WString*) override { return 0; }
  int GetProperty(const WString&, void*) override { return 0; }
  int CallMethod(const WString&, void*) override { return 0; }
  int FindArtist(const WString& artist, WString& artistUrl) override {
    return search::FindArtist(*context, artist, artistUrl);
  }
  int FindArtistSongList(const WString& artist, SongList* songs) override {
    return search::FindArtistSongList(*context, artist, songs, 0);
  }
  int GetLyrics(const WString& songUrl, WString& lyrics) override {
    return search::GetLyrics(*context, songUrl, lyrics);
  }
  int FindSong(const WString& artist, const WString& title, SongList* songs,
               std::uint8_t option) override {
    return search::FindSong(*context, artist, title, songs, option);
  }
  void NotifyHost() override {}
  bool IsCancelled() override { return false; }
  int DownloadPage(const WString&, WString& page) override {
    page = page_;
    return 1;
  }

 private:
  const WString& page_;
};

bool OnSite(const WString& address) { return address.rfind(kSiteHost, 0) == 0; }

bool IsWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

void CheckLyrics(std::int32_t found, const WString& lyrics) {
  const std::string quoted = "lyrics \"" + fuzz::Printable(lyrics) + "\"";
  const bool apology = lyrics.find(search::kApologyText) != WString::npos;
  if (found == 1) {
    fuzz::Check(!lyrics.empty() && !apology, "found, yet " + quoted);
  } else {
    fuzz::Check(lyrics.empty() || apology, "not found, yet " + quoted);
  }
  if (lyrics.empty()) return;
  fuzz::Check(!IsWhiteSpace(lyrics.front()) && !IsWhiteSpace(lyrics.back()),
              "untrimmed " + quoted);
  for (std::size_t i = 0; i < lyrics.size(); ++i) {
    if (lyrics[i] == u'\r') fuzz::Check(i + 1 < lyrics.size() && lyrics[i + 1] == u'\n',
                                        "lone CR in " + quoted);
    if (lyrics[i] == u'\n') fuzz::Check(i > 0 && lyrics[i - 1] == u'\r', "lone LF in " + quoted);
  }
  const std::size_t open = lyrics.find(u'<');
  fuzz::Check(open == WString::npos || lyrics.find(u'>', open) == WString::npos,
              "a tag left in " + quoted);
}

void CheckEntries(const Songs& songs, const WString& artist, std::size_t from) {
  for (std::size_t i = from; i < songs.entries.size(); ++i) {
    const SongEntry& entry = songs.entries[i];
    fuzz::Check(OnSite(entry.url), "song address off the site: " + fuzz::Printable(entry.url));
    fuzz::Check(entry.artist == artist && entry.sourceName == kSourceName &&
                    entry.sourceId == kSourceId,
                "song entry without the caller's artist and the source");
  }
}

std::vector<WString> ListNames(const char16_t* section, const WString& path) {
  std::vector<char16_t> buffer(1 << 16);
  const std::uint32_t length = profile::ReadProfileString(
      section, nullptr, u"", buffer.data(), static_cast<std::uint32_t>(buffer.size()), path);
  std::vector<WString> names;
  for (std::size_t at = 0; at < length;) {
    const WString name(buffer.data() + at);
    names.push_back(name);
    at += name.size() + 1;
  }
  return names;
}

// Whatever names the page made up, each section of a cache file is one artist holding one
// address on the site: no name broke a file's structure or wrote into another section.
void CheckCache(const std::filesystem::path& root) {
  if (!std::filesystem::exists(root)) return;
  for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
    if (!file.is_regular_file()) continue;
    const WString path = fuzz::WidePath(file.path());
    for (const WString& section : ListNames(nullptr, path)) {
      const std::string where = "cache section \"" + fuzz::Printable(section) + "\"";
      for (const char16_t c : section) {
        fuzz::Check(c >= 0x20 && c != u'[' && c != u']', where + " holds a forbidden character");
      }
      const std::vector<WString> keys = ListNames(section.c_str(), path);
      fuzz::Check(keys.size() == 1 && keys[0] == u"ArtistUrl", where + " holds other keys");
      char16_t url[CArtistUrlCache::kUrlBufferSize];
      profile::ReadProfileString(section.c_str(), u"ArtistUrl", u"", url,
                                  CArtistUrlCache::kUrlBufferSize, path);
      fuzz::Check(OnSite(url), where + " holds an address off the site: " + fuzz::Printable(url));
    }
  }
}

// The first line, taken out of text.
WString TakeLine(WString& text) {
  const std::size_t end = text.find(u'\n');
  WString line = text.substr(0, end);
  text.erase(0, end == WString::npos ? text.size() : end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WString page = fuzz::WideText(fuzz::Bytes(data, size));
  const WString artist = TakeLine(page);
  const WString title = TakeLine(page);

  const std::filesystem::path root = fuzz::TempFolder::Path() / "cache";
  // A fresh cache for every input; the cache makes its own two levels below the root.
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  CArtistUrlCache cache(fuzz::WidePath(root), kSourceName, kSourceId);
  Host host;
  PagePlugin plugin(page);
  const search::SearchContext context{plugin, &host, &cache, kSiteHost, kSourceName, kSourceId};
  plugin.context = &context;

  WString lyrics;
  CheckLyrics(search::GetLyrics(context, kSiteHost + u"/song.html", lyrics), lyrics);

  WString artistUrl;
  if (search::FindArtist(context, artist, artistUrl) == 1) {
    fuzz::Check(OnSite(artistUrl), "artist address off the site: " + fuzz::Printable(artistUrl));
  }

  Songs songs;
  const std::int32_t count = search::FindArtistSongList(context, artist, &songs, 0);
  fuzz::Check(count == 0 || count == songs.GetCount(), "song count differs from the list");
  CheckEntries(songs, artist, 0);

  const std::size_t before = songs.entries.size();
  const std::int32_t found = search::FindSong(context, artist, title, &songs, 0);
  if (!title.empty()) {
    fuzz::Check(songs.entries.size() == before + (found == 1 ? 1 : 0),
                "FindSong's result differs from what it appended");
  }
  CheckEntries(songs, artist, title.empty() ? 0 : before);

  CheckCache(root);
  return 0;
}
