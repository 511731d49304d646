#include "platform/module_path.h"

#include <dlfcn.h>
#include <stdlib.h>

#include "platform/file.h"

namespace platform {

WString GetModuleFilePath(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  // dli_fname is the name the module was loaded by; make it absolute as Windows' is.
  char* resolved = realpath(info.dli_fname, nullptr);
  if (resolved == nullptr) return PathFromNative(info.dli_fname);
  WString path = PathFromNative(resolved);
  free(resolved);
  return path;
}

}  // namespace platform
