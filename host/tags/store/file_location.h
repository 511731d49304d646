// Where a music file is, in a form that cannot be steered by names other people plant: the
// folder the user named (its links followed, as the user typed it, and checked to be still
// the folder the walk found), and the way down from it that the walk found (opened one folder
// at a time, never through a link). A folder swapped for a link, or a file swapped for another,
// after the walk is then found out instead of followed. Plain data; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace host {

struct FileLocation {
  std::string path;  // as the user and the reports see it
  // path[0, trusted) is the folder the user named ("" for the working folder); the rest,
  // after a separator, was found by walking.
  std::size_t trusted = 0;
  // That folder as the walk found it; 0 and 0: not checked (a file named by itself).
  std::uint64_t trustedDevice = 0;
  std::uint64_t trustedInode = 0;
};

// A file named by itself: its own folder is the trusted part.
FileLocation LocationOfNamedFile(const std::string& path);

// A folder named to be walked, with its identity now; a file found under it is `path` + "/" +
// the way down (the trusted part is the folder). (POSIX backend: os/posix/safe_open.cpp.)
FileLocation LocationOfFolder(const std::string& path);

}  // namespace host
