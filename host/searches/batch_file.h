// The song list of `get --batch FILE`: one ARTIST<TAB>TITLE per line, UTF-8. Blank lines are
// skipped; a trailing CR (a file written on Windows) and a leading byte-order mark are dropped.
// The whole file is read and checked before the first search, so that a mistake on line 900
// does not surface after 900 downloads. Pure parsing plus one file read; any thread.
#pragma once

#include <string>
#include <vector>

#include "matching/song_names.h"

namespace host {

struct BatchSong : SongNames {
  int line = 0;  // 1-based line number in the file
};

// Parses the file's text. False with "line N: ..." for the first malformed line (no tab, more
// than one tab, an empty artist or title).
bool ParseBatchText(const std::string& text, std::vector<BatchSong>& songs, std::string& error);
// Reads and parses a file. False with a message when it cannot be read or is malformed.
bool ReadBatchFile(const std::string& path, std::vector<BatchSong>& songs, std::string& error);

}  // namespace host
