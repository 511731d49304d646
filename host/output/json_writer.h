// A small writer of one JSON document, for --json. It takes UTF-8 text (the host converts the
// plug-in's UTF-16 first) and escapes quotes, backslashes and control characters; a byte that
// is not well-formed UTF-8 becomes U+FFFD, so the document always parses. Commas and nesting
// are kept by the writer. It also keeps the conventions every document of the host shares:
// snake_case keys, null (never "") for a value that is not known, and paths that a script can
// map back to their bytes. Values written in a wrong place (a value where a key is due) are the
// caller's fault and are not checked. One thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(std::int64_t number);
  JsonWriter& Number(double number);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Key and value in one call.
  template <class T>
  JsonWriter& Field(std::string_view key, const T& value) {
    Key(key);
    return Value(value);
  }

  // Key and text, or null when the text is empty: a value that is not known.
  JsonWriter& FieldOrNull(std::string_view key, std::string_view text);
  // A path as two keys: `key` the readable form (PrintablePath), and `key`_base64 the path's
  // exact bytes in base64 when the readable form is not them (not UTF-8, or a control
  // character), else null.
  JsonWriter& PathField(std::string_view key, const std::string& path);

  // The document so far.
  const std::string& Text() const { return text_; }

 private:
  JsonWriter& Value(std::string_view text) { return String(text); }
  JsonWriter& Value(const std::string& text) { return String(text); }
  JsonWriter& Value(const char* text) { return String(text); }
  JsonWriter& Value(bool value) { return Bool(value); }
  JsonWriter& Value(int number) { return Number(static_cast<std::int64_t>(number)); }
  JsonWriter& Value(std::int64_t number) { return Number(number); }
  JsonWriter& Value(double number) { return Number(number); }
  JsonWriter& Value(float number) { return Number(static_cast<double>(number)); }

  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);

  std::string text_;
  // One entry per open object or array: true until its first member is written.
  std::vector<bool> first_;
  bool afterKey_ = false;
};

// The text as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);
// A CamelCase name as a snake_case key: "SourceId" -> "source_id".
std::string SnakeCase(std::string_view name);
// The bytes in standard base64 (RFC 4648, padded).
std::string Base64(std::string_view bytes);

}  // namespace host
