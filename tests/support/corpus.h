// The bundled site's corpus as its generator flattened it (site/corpus.tsv): every artist and
// song with the answers the plug-in must give for them. Read once per test program; text is
// UTF-8 as in the file. Any test thread may read it.
#pragma once

#include <string>
#include <vector>

#include "tunewell/wstring.h"

namespace testing_support {

struct CorpusSong {
  std::string artist, title, path, kind;
  int lyricsResult = 0;
  std::string lyrics;  // CR LF, as GetLyrics gives it
  // The song page's address as the plug-in reports it: the site host, then the path.
  std::string url() const;
};

struct CorpusArtist {
  std::string name, path;
  bool leadingCharOk = false;  // the plug-in searches only names that start with a letter or digit
  int songCount = 0;
  std::string url() const;
};

struct Corpus {
  std::vector<CorpusArtist> artists;
  std::vector<CorpusSong> songs;  // grouped by artist, in page order

  const CorpusArtist* Artist(const std::string& name) const;
  std::vector<CorpusSong> SongsOf(const std::string& artist) const;
  const CorpusSong* Song(const std::string& artist, const std::string& title) const;
};

// site/corpus.tsv of the source tree; empty when it cannot be read.
const Corpus& LoadCorpus();

// UTF-8 to UTF-16.
WString Widen(const std::string& utf8);

}  // namespace testing_support
