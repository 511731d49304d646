#include "platform/module_path.h"

#include "platform/windows/win_text.h"

namespace platform {

WString GetModuleFilePath(const void* address) {
  HMODULE module = nullptr;
  const DWORD flags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!::GetModuleHandleExW(flags, static_cast<LPCWSTR>(address), &module)) return {};
  // Paths may exceed MAX_PATH: grow until the whole name fits.
  WString path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, win::W(path.data()),
                                              static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
