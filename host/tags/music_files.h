// The music files a `tunewell tag` run works through: each file named, and every file under
// each folder named, of a format in tags/audio_format.h. Folders are walked recursively in a
// stable order: a folder's entries in bytewise name order, a subfolder's files taken where the
// subfolder's name sorts. Symbolic links to folders inside the walk are not followed, and
// hidden entries (names starting with ".") are left out, as other music tools do; a folder
// named on the command line is walked even when it is a link. Reads the file system only;
// any thread.
#pragma once

#include <string>
#include <vector>

namespace host {

struct MusicFiles {
  std::vector<std::string> files;    // in walk order, each once
  std::vector<std::string> folders;  // every folder the files sit in, each once
};

// Collects the files. False with a message for the user when a path does not exist or names
// a file of a format not handled; nothing is collected then.
bool CollectMusicFiles(const std::vector<std::string>& paths, MusicFiles& found,
                       std::string& error);

}  // namespace host
