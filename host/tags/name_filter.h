// --include GLOB / --exclude GLOB for tag and show: which music files a run takes. A pattern
// is matched against the file's name, or, when it holds a "/", against its whole path as
// listed (so "*/Live/*" chooses the files under a folder named Live); `*` stands for any run
// of characters, `?` for one, `[abc]`, `[a-z]` and `[!abc]` for one of a set (bytes: a UTF-8
// letter outside ASCII is matched by `*` or written as it is). Case counts, as it does for the
// file system, but not in the extension (after the name's last "."): the walk takes SONG.MP3 as
// an MP3 like song.mp3, so `*.mp3` takes both. A file is taken when it matches some --include
// (or none is given) and no --exclude. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

bool GlobMatches(std::string_view pattern, std::string_view text);

struct NameFilter {
  std::vector<std::string> include;
  std::vector<std::string> exclude;

  bool Takes(const std::string& path) const;
  // The paths the filter takes, in their order.
  std::vector<std::string> Apply(const std::vector<std::string>& paths) const;
  // The --include patterns that match none of the paths (whatever --exclude then leaves out):
  // most often a folder's name given where "*/NAME/*" was meant.
  std::vector<std::string> IncludesMatchingNone(const std::vector<std::string>& paths) const;
};

}  // namespace host
