#include "session/plugin_loader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "os/default_paths.h"
#include "os/plugin_boundary.h"
#include "os/shared_library.h"
#include "os/utf.h"

namespace host {
namespace {

constexpr std::string_view kOpenMarker = "###_PluginInfo_###";
constexpr std::string_view kCloseMarker = "###";

// Parses `key=value;` pairs up to the closing marker. Values in double quotes lose them.
bool ParseBlock(std::string_view block, PluginInfo& info) {
  std::size_t pos = 0;
  while (pos < block.size()) {
    if (block.substr(pos) == kCloseMarker) return !info.empty();
    const std::size_t eq = block.find('=', pos);
    if (eq == std::string_view::npos) return false;
    std::string key(block.substr(pos, eq - pos));
    std::size_t valueStart = eq + 1;
    std::size_t end;
    std::string value;
    if (valueStart < block.size() && block[valueStart] == '"') {
      const std::size_t close = block.find('"', valueStart + 1);
      if (close == std::string_view::npos) return false;
      value = std::string(block.substr(valueStart + 1, close - valueStart - 1));
      end = close + 1;
      if (end >= block.size() || block[end] != ';') return false;
    } else {
      end = block.find(';', valueStart);
      if (end == std::string_view::npos) return false;
      value = std::string(block.substr(valueStart, end - valueStart));
    }
    if (key.empty()) return false;
    info.emplace_back(std::move(key), std::move(value));
    pos = end + 1;
  }
  return false;
}

}  // namespace

bool ReadPluginInfo(const std::string& path, PluginInfo& info, std::string& error) {
  // The system's reason goes with the message: a missing file, a folder and a file without
  // read permission call for different remedies.
  std::error_code status;
  if (std::filesystem::is_directory(PathFromUtf8(path), status)) {
    error = "cannot read the plug-in file " + path + ": " + std::strerror(EISDIR);
    return false;
  }
  errno = 0;
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) {
    const int reason = errno != 0 ? errno : EIO;
    error = "cannot read the plug-in file " + path + ": " + std::strerror(reason);
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The block is NUL-terminated text; the marker may also appear elsewhere (a copy of the
  // string in debug data), so try each occurrence until one parses.
  for (std::size_t at = bytes.find(kOpenMarker); at != std::string::npos;
       at = bytes.find(kOpenMarker, at + 1)) {
    const std::size_t start = at + kOpenMarker.size();
    const std::size_t nul = bytes.find('\0', start);
    const std::string_view block(bytes.data() + start,
                                 (nul == std::string::npos ? bytes.size() : nul) - start);
    PluginInfo parsed;
    if (ParseBlock(block, parsed)) {
      info = std::move(parsed);
      return true;
    }
  }
  error = path + " is not a Tunewell plug-in: it holds no plug-in information block";
  return false;
}

std::string InfoValue(const PluginInfo& info, const std::string& key) {
  for (const auto& [k, v] : info) {
    if (k == key) return v;
  }
  return {};
}

PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::string& path, std::string& error) {
  Unload();
  PluginInfo info;
  if (!ReadPluginInfo(path, info, error)) return false;
  if (InfoValue(info, "Type") != "search") {
    error =
        path + " is a plug-in of type \"" + InfoValue(info, "Type") + "\", not a search plug-in";
    return false;
  }
  std::string reason;
  handle_ = OpenSharedLibrary(path, reason);
  if (handle_ == nullptr) {
    error = "cannot load " + path + ": " + reason;
    return false;
  }
  factory_ = reinterpret_cast<PluginFactory>(FindSharedLibraryExport(handle_, "GetDllInterface"));
  if (factory_ == nullptr) {
    error = path + " does not export GetDllInterface";
    Unload();
    return false;
  }
  info_ = std::move(info);
  return true;
}

CLyricsDllInterface* PluginLibrary::CreateObject() const {
  return factory_ != nullptr ? AdoptPluginObject(factory_()) : nullptr;
}

void PluginLibrary::Unload() {
  if (handle_ != nullptr) CloseSharedLibrary(handle_);
  handle_ = nullptr;
  factory_ = nullptr;
}

std::string DefaultPluginPath() {
  const std::vector<std::string> candidates = PluginCandidates(ExecutableFolder());
  std::error_code ignored;
  for (const std::string& candidate : candidates) {
    if (std::filesystem::is_regular_file(PathFromUtf8(candidate), ignored)) {
      return Utf8FromPath(PathFromUtf8(candidate).lexically_normal());
    }
  }
  // None there: the load then fails naming the first place, beside the binary.
  return candidates.empty() ? std::string("libtunewell.so") : candidates.front();
}

}  // namespace host
