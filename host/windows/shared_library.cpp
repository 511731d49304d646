#include "shared_library.h"

#include <windows.h>

#include "wide_text.h"

namespace host {
namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 ? Utf8FromWide(text) : "error " + std::to_string(code);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

}  // namespace

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
