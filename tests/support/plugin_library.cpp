#include "support/plugin_library.h"

#include <cstdio>
#include <filesystem>

#include "platform/code_page.h"
#include "shared_library.h"

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#else
#include <dlfcn.h>
#endif

namespace testing_support {

PluginLibrary::PluginLibrary(const std::string& path)
    : handle_(host::OpenSharedLibrary(path, reason_)) {}

CLyricsPluginObject* PluginLibrary::Create() const {
  using Factory = CLyricsDllInterface* (*)();
  auto factory = reinterpret_cast<Factory>(host::FindSharedLibraryExport(handle_, "GetDllInterface"));
  return factory != nullptr ? static_cast<CLyricsPluginObject*>(factory()) : nullptr;
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

// CryptoAPI's MD5 over the file's bytes.
std::string SystemMd5OfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[16];
  DWORD size = sizeof digest;
  std::string hex;
  if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
      ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
      ::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                      static_cast<DWORD>(bytes.size()), 0) &&
      ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
    for (DWORD i = 0; i < size; ++i) {
      hex += "0123456789abcdef"[digest[i] >> 4];
      hex += "0123456789abcdef"[digest[i] & 15];
    }
  }
  if (hash != 0) ::CryptDestroyHash(hash);
  if (provider != 0) ::CryptReleaseContext(provider, 0);
  return hex;
}

#else

std::uint32_t PluginLibrary::AnsiCodePage() { return platform::GetAnsiCodePage(); }

bool PluginLibrary::IsLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);  // NOLOAD took a reference of its own
  return handle != nullptr;
}

// md5sum's answer.
std::string SystemMd5OfFile(const std::string& path) {
  std::string out;
  FILE* pipe = popen(("md5sum '" + path + "'").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[128];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out.substr(0, 32);
}

#endif

}  // namespace testing_support
