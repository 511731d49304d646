// One argument of a Windows command line, quoted so that the child's parser (CommandLineToArgvW,
// the C runtime's) gives it back unchanged: backslashes are doubled only before a quote and at
// the end, where the parser would otherwise read them as escapes.
#pragma once

#include <string>

namespace host {

inline std::wstring QuotedArgument(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace host
