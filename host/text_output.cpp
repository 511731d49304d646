#include "text_output.h"

namespace host {

std::string LyricsForOutput(const std::string& lyrics, bool raw) {
  if (raw) return lyrics;
  std::string out;
  out.reserve(lyrics.size());
  for (std::size_t i = 0; i < lyrics.size(); ++i) {
    if (lyrics[i] == '\r' && i + 1 < lyrics.size() && lyrics[i + 1] == '\n') continue;
    out += lyrics[i];
  }
  return out;
}

std::string OneLineField(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace host
