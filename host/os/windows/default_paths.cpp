#include "os/default_paths.h"

#include <windows.h>

#include <vector>

#include "os/windows/wide_text.h"

namespace host {

std::string ExecutableFolder() {
  // Long paths need more than MAX_PATH; the function cuts the name when the buffer is short.
  std::vector<wchar_t> self(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n == 0) return {};
    if (n < self.size()) break;
    self.resize(self.size() * 2);
  }
  const std::string exe = Utf8FromWide(self.data());
  return exe.substr(0, exe.find_last_of("\\/") + 1);
}

std::vector<std::string> PluginCandidates(const std::string& exeFolder) {
  if (exeFolder.empty()) return {};
  return {exeFolder + "Tunewell.dll"};
}

namespace {

// `rest` under the folder an environment variable names; none when it is unset.
std::optional<std::string> UnderFolderOf(const wchar_t* variable, const std::string& rest) {
  wchar_t folder[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableW(variable, folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return Utf8FromWide(folder) + rest;
}

}  // namespace

std::optional<std::string> UserCacheFolder() { return UnderFolderOf(L"LOCALAPPDATA", "\\tunewell"); }

std::optional<std::string> UserConfigFile() {
  return UnderFolderOf(L"APPDATA", "\\tunewell\\config");
}

}  // namespace host
