#include "searches/batch_file.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "os/utf.h"

namespace host {
namespace {

bool ParseLine(std::string line, int number, std::vector<BatchSong>& songs, std::string& error) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.find_first_not_of(" \t") == std::string::npos) return true;  // blank
  const std::size_t tab = line.find('\t');
  const std::string where = "line " + std::to_string(number) + ": ";
  if (!IsUtf8(line)) {
    error = where + "not UTF-8 (save the batch file as UTF-8)";
    return false;
  }
  if (tab == std::string::npos) {
    error = where + "expected ARTIST<TAB>TITLE, found no tab";
    return false;
  }
  if (line.find('\t', tab + 1) != std::string::npos) {
    error = where + "expected ARTIST<TAB>TITLE, found more than one tab";
    return false;
  }
  BatchSong song{line.substr(0, tab), line.substr(tab + 1), number};
  if (song.artist.empty() || song.title.empty()) {
    error = where + "the artist and the title must not be empty";
    return false;
  }
  songs.push_back(std::move(song));
  return true;
}

}  // namespace

bool ParseBatchText(const std::string& text, std::vector<BatchSong>& songs, std::string& error) {
  // A UTF-16 file has no tab byte on its own: say what it is rather than "found no tab".
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    error = "UTF-16, not UTF-8 (save the batch file as UTF-8)";
    return false;
  }
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  std::istringstream in(text.starts_with(kBom) ? text.substr(kBom.size()) : text);
  std::vector<BatchSong> parsed;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    if (!ParseLine(line, ++number, parsed, error)) return false;
  }
  songs = std::move(parsed);
  return true;
}

bool ReadBatchFile(const std::string& path, std::vector<BatchSong>& songs, std::string& error) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) {
    error = "cannot read the batch file " + path;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ParseBatchText(text, songs, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace host
