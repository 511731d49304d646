#include "tags/names_from_file.h"

#include "os/utf.h"

namespace host {
namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

// "ARTIST - TITLE" from the name without its extension; false when it has no such form.
bool SplitFileName(const std::string& fileName, std::string& artist, std::string& title) {
  const std::size_t slash = fileName.rfind('/');
  std::string stem = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  stem = ToUtf8(FromUtf8(stem));
  const std::size_t dash = stem.find(" - ");
  if (dash == std::string::npos) return false;
  artist = Trimmed(stem.substr(0, dash));
  title = Trimmed(stem.substr(dash + 3));
  return !artist.empty() && !title.empty();
}

}  // namespace

bool NamesForFile(const std::string& tagArtist, const std::string& tagTitle,
                  const std::string& fileName, NamesFromFile& names) {
  names = NamesFromFile{{Trimmed(tagArtist), Trimmed(tagTitle)}, false, false};
  if (!names.artist.empty() && !names.title.empty()) return true;
  std::string artist, title;
  if (!SplitFileName(fileName, artist, title)) return false;
  names.artistFromFileName = names.artist.empty();
  names.titleFromFileName = names.title.empty();
  if (names.artistFromFileName) names.artist = artist;
  if (names.titleFromFileName) names.title = title;
  return true;
}

std::string FileNameNote(const NamesFromFile& names) {
  if (names.artistFromFileName && names.titleFromFileName) {
    return " (artist and title from the file name)";
  }
  if (names.artistFromFileName) return " (artist from the file name)";
  if (names.titleFromFileName) return " (title from the file name)";
  return {};
}

}  // namespace host
