// The runtime's buffered stream under StdioFile, one implementation per platform: putting a
// stream on a copy of a file's own handle, locking it for a run of character reads, reading
// one byte under that lock, 64-bit seeks and positions, and the Windows error number of a
// stream call that failed. StdioFile (stdio_file.cpp) holds the logic above it, the same on
// every platform. Any thread may call these on a stream it owns.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform::stdio_stream {

// The stream's mode for a file's open flags (File::modeWrite, File::modeReadWrite), always
// binary; "w" on an existing handle does not truncate.
const char* Mode(std::uint32_t flags);

// A stream of its own on a copy of handle, sharing the open file and so its position; closing
// the stream leaves handle open. Null on failure, with *error set to a Windows error number.
std::FILE* Attach(std::intptr_t handle, std::uint32_t flags, std::uint32_t* error);

// Holds the stream for a run of GetLocked calls.
void Lock(std::FILE* stream);
void Unlock(std::FILE* stream);
// The next byte of a locked stream, or EOF at the end or on an error.
int GetLocked(std::FILE* stream);

// Call before a stream call whose failure LastError is to describe.
void ResetError();
// The Windows error number of the stream call that just failed.
std::uint32_t LastError();

// fseek and ftell over 64-bit positions; 0 and the position on success, as they do.
int Seek(std::FILE* stream, std::int64_t offset, int whence);
std::int64_t Tell(std::FILE* stream);

}  // namespace platform::stdio_stream
