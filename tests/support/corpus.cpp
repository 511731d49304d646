#include "support/corpus.h"

#include <fstream>
#include <iterator>

#include "bundled_site/corpus_sample.h"
#include "platform/code_page.h"

namespace testing_support {

std::string CorpusSong::url() const { return TUNEWELL_SITE_HOST + path; }
std::string CorpusArtist::url() const { return TUNEWELL_SITE_HOST + path; }

const CorpusArtist* Corpus::Artist(const std::string& name) const {
  for (const CorpusArtist& a : artists) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

std::vector<CorpusSong> Corpus::SongsOf(const std::string& artist) const {
  std::vector<CorpusSong> found;
  for (const CorpusSong& s : songs) {
    if (s.artist == artist) found.push_back(s);
  }
  return found;
}

const CorpusSong* Corpus::Song(const std::string& artist, const std::string& title) const {
  for (const CorpusSong& s : songs) {
    if (s.artist == artist && s.title == title) return &s;
  }
  return nullptr;
}

const Corpus& LoadCorpus() {
  static const Corpus corpus = [] {
    Corpus c;
    std::ifstream in(TUNEWELL_SOURCE_DIR "/site/corpus.tsv", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::vector<std::string>& f : host::ReadCorpusRecords(text)) {
      if (f.size() == 5 && f[0] == "A") c.artists.push_back({f[1], f[2], f[3] == "1", std::stoi(f[4])});
      if (f.size() == 7 && f[0] == "S") c.songs.push_back({f[1], f[2], f[3], f[4], std::stoi(f[5]), f[6]});
    }
    return c;
  }();
  return corpus;
}

WString Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int needed = platform::MultiByteToWide(platform::kCpUtf8, 0, utf8.data(), size, nullptr, 0);
  WString out(static_cast<std::size_t>(needed > 0 ? needed : 0), u'\0');
  if (needed > 0) platform::MultiByteToWide(platform::kCpUtf8, 0, utf8.data(), size, out.data(), needed);
  return out;
}

}  // namespace testing_support
