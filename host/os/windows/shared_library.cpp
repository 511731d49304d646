#include "os/shared_library.h"

#include <windows.h>

#include "os/windows/system_message.h"
#include "os/windows/wide_text.h"

namespace host {

void* OpenSharedLibrary(const std::string& path, std::string& reason) {
  const std::string target =
      path.find_first_of("\\/") == std::string::npos ? ".\\" + path : path;
  HMODULE library = ::LoadLibraryW(WideFromUtf8(target).c_str());
  if (library == nullptr) reason = SystemMessage(::GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindSharedLibraryExport(void* library, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseSharedLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace host
