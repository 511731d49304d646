// UTF-8 <-> UTF-16 for the host's command line and output. Ill-formed input becomes U+FFFD.
#pragma once

#include <filesystem>
#include <string>

#include "tunewell/wstring.h"

namespace host {

std::string ToUtf8(const WString& text);
// Appends one code point (not a surrogate) in UTF-8.
void AppendUtf8(std::string& out, char32_t c);
WString FromUtf8(const std::string& text);
// Whether text is well-formed UTF-8 (it then comes back from FromUtf8 unchanged).
inline bool IsUtf8(const std::string& text) { return ToUtf8(FromUtf8(text)) == text; }
// A path from UTF-8 text; a plain string would be read in the ANSI code page on Windows.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace host
