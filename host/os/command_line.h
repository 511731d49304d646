// The command line as the host reads it: UTF-8 arguments, the program's name left out. On
// Windows they come from the wide command line (argv holds them in the ANSI code page, with
// "?" for what it cannot show), the console is set to show UTF-8 output, and standard output
// and error write their bytes unchanged, as on Linux.
#pragma once

#include <string>
#include <vector>

namespace host {

std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace host
