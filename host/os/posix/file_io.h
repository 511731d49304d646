// Small POSIX file steps the replacement and the in-place write share.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <string>

#include "os/file_identity.h"

namespace host {

std::string ErrnoText(int code);

// The identity of the file a stat describes (os/file_identity.h).
FileIdentity IdentityOf(const struct stat& info);

// The folder and the name of a path ("." for a bare name).
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Every byte written, short writes and interruptions retried; false with errno set.
bool WriteAll(int fd, const char* data, std::size_t size);

// Everything left to read from `from`, written to `to`, in pieces: memory does not grow with
// the file. False with errno set.
bool CopyAll(int from, int to);

// Flushes the file's content to disk: every flush of the replacement and of the write in place
// goes through here. A copy renamed over the file before its content is on disk can leave the
// file empty after a crash, and nothing else shows the flush is missing, so the tests put a
// recorder in fsync's place (nullptr puts fsync back).
bool SyncToDisk(int fd);
void SetSyncForTesting(int (*sync)(int fd));

// Makes the file whole or not at all: `fill` writes the content into a new temporary file
// beside it (os/posix/temporary_names.h), which is flushed and renamed onto the name. False
// with errno set; no temporary file is left then.
bool WriteThroughTemporary(const std::string& path, const std::function<bool(int fd)>& fill);

// A rename or an unlink is durable only once the folder's entry is on disk too.
void SyncFolder(const std::string& folder);

}  // namespace host
