#include "command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "wide_text.h"

namespace host {

std::vector<std::string> CommandLineArguments(int, char**) {
  ::SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace host
