// Loading a shared library and finding its export: dlopen on POSIX, LoadLibraryW on Windows.
// A path without a folder means the file in the current folder, as a host given a file name
// means that file, never one found on the system's library path.
#pragma once

#include <string>

namespace host {

// The loaded library, or null with the system's reason.
void* OpenSharedLibrary(const std::string& path, std::string& reason);
// The export's address, or null.
void* FindSharedLibraryExport(void* library, const char* name);
void CloseSharedLibrary(void* library);

}  // namespace host
