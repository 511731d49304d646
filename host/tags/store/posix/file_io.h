// Small POSIX file steps the replacement, the write in place and the journal share.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "tags/store/file_identity.h"

namespace host {

std::string ErrnoText(int code);

// The identity of the file a stat describes (tags/store/file_identity.h).
FileIdentity IdentityOf(const struct stat& info);

// The bytes the file really takes on the disk (a sparse file's holes take none); 0 when it
// cannot be looked at.
std::uint64_t BytesOnDisk(int fd);

// Whether the folder's file system has room for a new file of `bytes` (and a margin), without
// touching the space kept for root: a copy of a sparse file that claims terabytes must be
// refused, not made until the disk is full. True when the system cannot say.
bool RoomFor(int folder, std::uint64_t bytes);

// Every byte written, short writes and interruptions retried; false with errno set.
bool WriteAll(int fd, const char* data, std::size_t size);

// Everything left to read from `from`, written to `to`, in pieces: memory does not grow with
// the file. False with errno set.
bool CopyAll(int from, int to);

// Flushes a file's content, or a folder's entries, to disk: every flush of the replacement,
// the write in place and the journal goes through here. A copy renamed over the file before its
// content is on disk can leave the file empty after a crash, and nothing else shows the flush
// is missing, so the tests put a recorder in fsync's place (nullptr puts fsync back).
bool SyncToDisk(int fd);
void SetSyncForTesting(int (*sync)(int fd));

}  // namespace host
