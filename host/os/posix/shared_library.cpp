#include "os/shared_library.h"

#include <dlfcn.h>

namespace host {

void* OpenSharedLibrary(const std::string& path, std::string& reason) {
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  void* library = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* text = dlerror();
    reason = text != nullptr ? text : "unknown error";
  }
  return library;
}

void* FindSharedLibraryExport(void* library, const char* name) { return dlsym(library, name); }

void CloseSharedLibrary(void* library) { dlclose(library); }

}  // namespace host
