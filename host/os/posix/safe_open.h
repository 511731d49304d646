// Opening a music file where other people may write: the folder held open and everything done
// relative to it, the walked part opened one folder at a time without following links, the
// file opened without waiting (a FIFO would block) and looked at after opening, never before.
// A symbolic link as the file itself is followed only when whoever made it could write what it
// points to (the spirit of the kernel's protected_symlinks, for every folder, whatever the
// kernel's setting): another user's link cannot make this run read or write a file that user
// could not. The file's real folder is then held too, so that a replacement happens beside the
// file itself. Any thread.
#pragma once

#include <sys/stat.h>

#include <string>

#include "os/file_location.h"
#include "os/posix/descriptor.h"

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

// Opens a regular file by a plain path that the user gave (a --from list, a config file): no
// waiting on a FIFO or device, nothing but a regular file. The descriptor, or -1 with a reason.
int OpenRegularFileForReading(const std::string& path, std::string& error);

// Opens a file the user named for the run's output (a --failed list): made when missing,
// emptied when it is a regular file; refused when it is anything else (a FIFO would block, a
// device would take the bytes) or a link that LinkMayBeFollowed refuses. The descriptor, or -1
// with a reason.
int OpenUserOutputFile(const std::string& path, std::string& error);

// Reads a whole regular file or stream, at most `limit` bytes: false with a reason ("larger
// than N bytes") beyond it, so that /dev/zero or a huge file cannot take the memory.
bool ReadBounded(int fd, std::size_t limit, std::string& content, std::string& error);

// Whether a symbolic link owned by `linkOwner` may lead this process to a file described by
// `target`: when this process or root made the link, or the link's owner owns the target.
bool LinkMayBeFollowed(uid_t linkOwner, const struct stat& target);

// "a FIFO", "a device", ... for a file that is not a regular one.
std::string KindOf(mode_t mode);

}  // namespace host
