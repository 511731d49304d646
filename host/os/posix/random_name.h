// New names nobody can guess: a file the run makes in a folder other people can write must not
// be one they could have planted beforehand (a link, a FIFO) under a name they foresaw.
#pragma once

#include <sys/types.h>

#include <string>

namespace host {

// 16 letters and digits from the kernel's random source (95 bits).
std::string RandomNamePart();

// Makes a new regular file in the folder, named `prefix` and a random part, never through an
// existing name (O_EXCL, so never through a link either). The descriptor (read and write), or -1
// with errno set; `name` receives the name.
int CreateNewFileIn(int folder, const std::string& prefix, mode_t mode, std::string& name);

}  // namespace host
