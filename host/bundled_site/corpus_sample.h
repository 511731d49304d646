// Picks the song that `demo` fetches: the first song of the bundled site's corpus
// (site/corpus.tsv) whose page holds lyrics, so the demo follows the corpus as it changes.
// Pure parsing plus one file read; any thread.
#pragma once

#include <string>
#include <vector>

namespace host {

// The records of corpus.tsv's text, each as its fields with the \\ \t \r \n escapes undone;
// comment lines (starting with "#") are left out.
std::vector<std::vector<std::string>> ReadCorpusRecords(const std::string& tsvText);

struct CorpusSong {
  std::string artist;
  std::string title;
  std::string lyrics;  // as GetLyrics gives them, CR LF line ends
};

// From corpus.tsv's text: lines "S<TAB>artist<TAB>title<TAB>path<TAB>kind<TAB>result<TAB>text"
// with \\ \t \r \n escapes inside fields; comment lines start with "#". False when no song has
// the GetLyrics result 1.
bool PickSampleSong(const std::string& tsvText, CorpusSong& song);
// Reads FOLDER/corpus.tsv. False with a message when it cannot be read or holds no such song.
bool ReadSampleSong(const std::string& siteFolder, CorpusSong& song, std::string& error);

}  // namespace host
