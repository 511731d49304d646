// The artist and title to search a music file's lyrics by: from its tags, and where a tag is
// missing, from a file name of the form "ARTIST - TITLE.ext". Pure functions; any thread.
#pragma once

#include <string>

#include "matching/song_names.h"

namespace host {

// The names (invalid bytes of a file name become U+FFFD), and which came from the file name.
struct NamesFromFile : SongNames {
  bool artistFromFileName = false;
  bool titleFromFileName = false;
};

// False when the tags and the file name together do not give both names.
bool NamesForFile(const std::string& tagArtist, const std::string& tagTitle,
                  const std::string& fileName, NamesFromFile& names);
// What the report adds when a name came from the file name: " (title from the file name)";
// empty when both came from the tags.
std::string FileNameNote(const NamesFromFile& names);

}  // namespace host
