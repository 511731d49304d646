// What the fuzz targets share: the input size cap, the reading of fuzz bytes as wide text,
// the check that turns a broken promise into a crash the fuzzer keeps, and the process's own
// temporary folder, the only place a target writes to. Header-only; a fuzz target runs one
// input at a time on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/process.h"
#include "tunewell/wstring.h"

namespace fuzz {

// Inputs beyond this are cut: pages and files of this size already exercise every path, and
// larger ones only slow the run down.
inline constexpr std::size_t kMaxInputBytes = 64 * 1024;

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size,
                              std::size_t cap = kMaxInputBytes) {
  return {reinterpret_cast<const char*>(data), size < cap ? size : cap};
}

// The bytes as wide text the way the plug-in reads a page: each byte one code unit (ISO
// 8859-1), so that the seeds stay readable text. Bytes starting with FF FE are UTF-16 LE
// instead (a lone last byte dropped), which reaches every code unit, surrogates included.
inline WString WideText(std::string_view bytes) {
  WString text;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                           static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    }
    return text;
  }
  for (const char c : bytes) text.push_back(static_cast<std::uint8_t>(c));
  return text;
}

// Wide text for a report: ASCII as it is, everything else as \uXXXX.
inline std::string Printable(WStringView text, std::size_t limit = 400) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const char16_t c = text[i];
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  if (text.size() > limit) out += "...";
  return out;
}

// A broken promise of the code under test: report it and abort, so that libFuzzer keeps the
// input as a crash.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what.c_str());
  std::abort();
}

inline void Check(bool holds, const std::string& what) {
  if (!holds) Fail(what);
}

// A folder of this process under the system's temporary folder, created on first use and
// removed with everything in it when the process ends normally.
class TempFolder {
 public:
  static const std::filesystem::path& Path() {
    static TempFolder folder;
    return folder.path_;
  }

 private:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("tunewell-fuzz-" + std::to_string(platform::CurrentProcessId()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path path_;
};

// The path as the plug-in's file functions take it. Temporary paths here are ASCII.
inline WString WidePath(const std::filesystem::path& path) {
  const std::string text = path.string();
  return WString(text.begin(), text.end());
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path.string());
}

}  // namespace fuzz
