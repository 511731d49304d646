// The music files a `tunewell tag` run works through: each file named, and every file under
// each folder named, of a format in tags/audio_format.h. Folders are walked recursively in a
// stable order: a folder's entries in bytewise name order, a subfolder's files taken where the
// subfolder's name sorts. Symbolic links to folders inside the walk are not followed, and
// hidden entries (names starting with ".") are left out, as other music tools do; a folder
// named on the command line is walked even when it is a link. Nothing that could hold music is
// passed over in silence: an entry with a music file's name is taken whatever it turns out to
// be (a FIFO, a link to nothing, a link loop), for the run to report why it cannot be read, and
// a folder that cannot be read (permission, a path too long, a loop) is listed with the reason.
// Reads the file system only; any thread.
#pragma once

#include <string>
#include <vector>

#include "tags/store/file_location.h"

namespace host {

// A folder, or a path named on the command line, that could not be read.
struct UnreadableEntry {
  std::string path;
  std::string reason;  // "cannot read the folder: Permission denied"
};

struct MusicFiles {
  // In walk order, each once; each with the folder named and the way the walk found from it
  // (os/file_location.h), so that the file is opened later the same way or not at all.
  std::vector<FileLocation> files;
  std::vector<UnreadableEntry> unreadable;  // in walk order, each once
};

// Collects the files. False with a message for the user per PATH that does not exist or
// names a file of a format not handled (every such PATH, in order); nothing is collected then.
// A PATH that exists but cannot be read is no such mistake: it goes to `unreadable`.
bool CollectMusicFiles(const std::vector<std::string>& paths, MusicFiles& found,
                       std::vector<std::string>& errors);

}  // namespace host
