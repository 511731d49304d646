#include "os/command_line.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "os/windows/wide_text.h"

namespace host {

std::vector<std::string> CommandLineArguments(int, char**) {
  ::SetConsoleOutputCP(CP_UTF8);
  // The output's bytes are those the Linux host writes: LF line ends unless --raw keeps the
  // plug-in's CR LF. A text-mode stream would add a CR before every LF, doubling raw ones.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace host
