#include "searches/safe_file_name.h"

#include <string_view>

namespace host {
namespace {

constexpr std::string_view kUnsafe = "/\\:*?\"<>|";
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::string_view kExtension = ".txt";

bool IsUnsafe(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || kUnsafe.find(c) != std::string_view::npos;
}

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string CutUtf8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string TrimTrailingDotsAndBlanks(std::string text) {
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string SafeNamePart(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (IsUnsafe(c)) c = '_';
  }
  const std::size_t start = out.find_first_not_of(' ');
  out = start == std::string::npos ? std::string() : out.substr(start);
  if (!out.empty() && out[0] == '.') out[0] = '_';
  out = TrimTrailingDotsAndBlanks(std::move(out));
  return out.empty() ? "_" : out;
}

std::string LyricsFileName(const std::string& artist, const std::string& title,
                           const std::string& suffix) {
  const std::string stem = SafeNamePart(artist) + " - " + SafeNamePart(title);
  const std::size_t room = kMaxNameBytes - kExtension.size() - suffix.size();
  return TrimTrailingDotsAndBlanks(CutUtf8(stem, room)) + suffix + std::string(kExtension);
}

}  // namespace host
