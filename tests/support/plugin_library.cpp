#include "support/plugin_library.h"

#include <filesystem>

#include "os/plugin_boundary.h"
#include "os/shared_library.h"
#include "platform/code_page.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace testing_support {

PluginLibrary::PluginLibrary(const std::string& path)
    : handle_(host::OpenSharedLibrary(path, reason_)) {}

CLyricsPluginObject* PluginLibrary::Create() const {
  auto factory = reinterpret_cast<host::PluginFactory>(
      host::FindSharedLibraryExport(handle_, "GetDllInterface"));
  return factory != nullptr ? host::AdoptPluginObject(factory()) : nullptr;
}

void PluginLibrary::Close() {
  if (handle_ != nullptr) host::CloseSharedLibrary(handle_);
  handle_ = nullptr;
}

std::string PluginLibrary::CopyInto(const std::string& folder, const std::string& stem) {
  const std::filesystem::path built(TUNEWELL_PLUGIN_PATH);
  const std::string copy = folder + "/" + stem + built.extension().string();
  std::filesystem::copy_file(built, copy);
  return copy;
}

#ifdef _WIN32

std::uint32_t PluginLibrary::AnsiCodePage() { return ::GetACP(); }

bool PluginLibrary::IsLoaded(const std::string& path) {
  return ::GetModuleHandleW(std::filesystem::path(path).wstring().c_str()) != nullptr;
}

#else

std::uint32_t PluginLibrary::AnsiCodePage() { return platform::GetAnsiCodePage(); }

bool PluginLibrary::IsLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);  // NOLOAD took a reference of its own
  return handle != nullptr;
}

#endif

}  // namespace testing_support
