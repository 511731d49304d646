// Small POSIX file steps the replacement and the in-place write share.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// The folder and the name of a path ("." for a bare name).
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Every byte written, short writes and interruptions retried; false with errno set.
bool WriteAll(int fd, const char* data, std::size_t size);

// Everything left to read from `from`, written to `to`, in pieces: memory does not grow with
// the file. False with errno set.
bool CopyAll(int from, int to);

// A rename or an unlink is durable only once the folder's entry is on disk too.
void SyncFolder(const std::string& folder);

}  // namespace host
