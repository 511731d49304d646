// Trimming as the framework's strings trim: white space (tab, line feed, vertical tab, form
// feed, carriage return, space) removed at both ends. Pure functions; they never fail.
#pragma once

#include <string>

#include "tunewell/wstring.h"

namespace http {

template <class String>
String TrimWhiteSpace(const String& text) {
  using Char = typename String::value_type;
  auto blank = [](Char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  std::size_t first = 0, last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace http
