#include "os/terminal.h"

#include <unistd.h>

namespace host {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

}  // namespace host
