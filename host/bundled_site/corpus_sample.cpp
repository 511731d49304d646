#include "bundled_site/corpus_sample.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "os/utf.h"

namespace host {
namespace {

std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char next = field[++i];
    out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

std::vector<std::vector<std::string>> ReadCorpusRecords(const std::string& tsvText) {
  std::vector<std::vector<std::string>> records;
  std::istringstream in(tsvText);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields = SplitTabs(line);
    for (std::string& field : fields) field = Unescape(field);
    records.push_back(std::move(fields));
  }
  return records;
}

bool PickSampleSong(const std::string& tsvText, CorpusSong& song) {
  for (const std::vector<std::string>& f : ReadCorpusRecords(tsvText)) {
    if (f.size() == 7 && f[0] == "S" && f[5] == "1") {
      song = {f[1], f[2], f[6]};
      return true;
    }
  }
  return false;
}

bool ReadSampleSong(const std::string& siteFolder, CorpusSong& song, std::string& error) {
  const std::string path = siteFolder + "/corpus.tsv";
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!PickSampleSong(text, song)) {
    error = path + " holds no song with lyrics";
    return false;
  }
  return true;
}

}  // namespace host
