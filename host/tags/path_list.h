// Lists of music paths, one per line, so that a run can be repeated on what it could not do:
// `tag --failed FILE` writes the files not found or failed, `tag --from FILE` (or "-", standard
// input) reads paths as if named on the command line. Paths are bytes, written as they are; a
// path holding a line end cannot be listed. Any thread.
#pragma once

#include <string>
#include <vector>

namespace host {

// Appends the list's paths (empty lines skipped, a CR before the LF dropped). False with a
// message for the user when it cannot be read.
bool ReadPathList(const std::string& file, std::vector<std::string>& paths, std::string& error);

// Writes the paths, each on its line, replacing the file. False with a message when it cannot;
// `left out` counts the paths that hold a line end.
bool WritePathList(const std::string& file, const std::vector<std::string>& paths, int& leftOut,
                   std::string& error);

}  // namespace host
