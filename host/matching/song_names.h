// A song's names: the artist and the title, as asked for or as found, in UTF-8. The one type
// every command, the batch, the tag run and the matching pass a song's names in. Plain data;
// any thread.
#pragma once

#include <string>

namespace host {

struct SongNames {
  std::string artist;  // UTF-8
  std::string title;
  bool operator==(const SongNames&) const = default;
};

}  // namespace host
