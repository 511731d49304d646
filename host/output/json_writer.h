// A small writer of one JSON document, for --json. It takes UTF-8 text (the host converts the
// plug-in's UTF-16 first) and escapes quotes, backslashes and control characters; commas and
// nesting are kept by the writer. Values written in a wrong place (a value where a key is due)
// are the caller's fault and are not checked. One thread.
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

}  // namespace host
