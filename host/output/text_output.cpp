#include "output/text_output.h"

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

namespace {

// C1 controls arrive as the two bytes C2 80 to C2 9F.
bool IsC1At(std::string_view text, std::size_t at) {
  return at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0xC2 &&
         static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
         static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

bool IsC0OrDel(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

std::string Escaped(const std::string& text, std::string_view kept) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = Utf8SequenceAt(text, at);
    const bool control = (IsC0OrDel(byte) && kept.find(text[at]) == std::string_view::npos) ||
                         IsC1At(text, at);
    if (length > 0 && !control) {
      out.append(text, at, length);
      at += length;
      continue;
    }
    // A C1 control's two bytes are both shown, so that none of it reaches the terminal.
    const std::size_t shown = IsC1At(text, at) ? 2 : 1;
    for (std::size_t i = 0; i < shown; ++i) {
      const auto b = static_cast<unsigned char>(text[at + i]);
      out += std::string("\\x") + kHex[b >> 4] + kHex[b & 0xF];
    }
    at += shown;
  }
  return out;
}

}  // namespace

std::string OneLineField(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (IsC1At(text, at)) {
      out += ' ';
      ++at;
    } else {
      out += IsC0OrDel(static_cast<unsigned char>(text[at])) ? ' ' : text[at];
    }
  }
  return out;
}

std::string LyricsForTag(const std::string& lyrics) {
  std::string text = LyricsForOutput(lyrics, false);
  // Drop whole trailing lines of blanks; a line with text keeps its own trailing blanks.
  std::size_t end = text.size();
  for (std::size_t at = end; at > 0; --at) {
    const char c = text[at - 1];
    if (c == '\n') {
      end = at - 1;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      break;
    }
  }
  return text.substr(0, end);
}

std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t c = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

std::string PrintableText(const std::string& text) { return Escaped(text, ""); }

std::string TerminalText(const std::string& text) { return Escaped(text, "\n\t"); }

}  // namespace host
