#include "output/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "output/text_output.h"

namespace host {

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceAt(text, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD: a strict parser refuses the stray byte itself
      ++at;
      continue;
    }
    if (length > 1) {
      out += text.substr(at, length);
      at += length;
      continue;
    }
    const char c = text[at++];
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string SnakeCase(std::string_view name) {
  std::string key;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool upper = c >= 'A' && c <= 'Z';
    const char before = i > 0 ? name[i - 1] : '\0';
    if (upper && ((before >= 'a' && before <= 'z') || (before >= '0' && before <= '9'))) {
      key += '_';
    }
    key += upper ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t left = bytes.size() - at;
    const auto byte = [&](std::size_t i) -> std::uint32_t {
      return i < left ? static_cast<unsigned char>(bytes[at + i]) : 0;
    };
    const std::uint32_t group = byte(0) << 16 | byte(1) << 8 | byte(2);
    for (std::size_t i = 0; i < 4; ++i) {
      out += i <= left ? kAlphabet[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
  }
  return out;
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) text_ += ',';
    first_.back() = false;
  }
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  first_.push_back(true);
}

void JsonWriter::Close(char bracket) {
  text_ += bracket;
  if (!first_.empty()) first_.pop_back();
}

JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}
JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}
JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}
JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  text_ += JsonQuote(key);
  text_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  text_ += JsonQuote(text);
  return *this;
}

JsonWriter& JsonWriter::Number(std::int64_t number) {
  BeforeValue();
  text_ += std::to_string(number);
  return *this;
}

JsonWriter& JsonWriter::Number(double number) {
  BeforeValue();
  if (!std::isfinite(number)) {
    text_ += "null";  // JSON has no spelling for infinities or NaN
    return *this;
  }
  // The shortest text that reads back as the same number: every digit it needs, no more.
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, number);
  text_.append(buffer, written.ptr);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
  return *this;
}

JsonWriter& JsonWriter::FieldOrNull(std::string_view key, std::string_view text) {
  Key(key);
  return text.empty() ? Null() : String(text);
}

JsonWriter& JsonWriter::PathField(std::string_view key, const std::string& path) {
  const std::string readable = PrintablePath(path);
  Field(key, readable);
  return FieldOrNull(std::string(key) + "_base64", readable == path ? "" : Base64(path));
}

}  // namespace host
