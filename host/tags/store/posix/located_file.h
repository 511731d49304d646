// Opening a music file where other people may write: the folder held open and everything done
// relative to it, the walked part opened one folder at a time without following links, the
// file opened without waiting (a FIFO would block) and looked at after opening, never before.
// A symbolic link as the file itself is followed only when whoever made it could write what it
// points to (os/posix/safe_open.h LinkMayBeFollowed): another user's link cannot make this run
// read or write a file that user could not. The file's real folder is then held too, so that a
// replacement happens beside the file itself. POSIX only; any thread.
#pragma once

#include <sys/stat.h>

#include <string>

#include "os/posix/descriptor.h"
#include "tags/store/file_location.h"

namespace host {

struct OpenedFile {
  UniqueFd folder;         // the folder the file itself is in
  std::string folderPath;  // that folder, for messages and the journal
  std::string name;        // the file's name in it
  UniqueFd file;           // open for reading (O_NONBLOCK cleared)
  struct stat info {};     // of the file, as opened
};

// Opens the regular file at the location. False with a reason for the report: "not a regular
// file (a FIFO)", "a link made by another user to a file that is not theirs (not followed)",
// kChangedDuringRun when a folder on the way is no longer the one the walk found, or the
// system's reason.
bool OpenLocatedFile(const FileLocation& where, OpenedFile& opened, std::string& error);

}  // namespace host
