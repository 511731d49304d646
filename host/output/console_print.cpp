#include "output/console_print.h"

#include "os/terminal.h"
#include "output/text_output.h"

namespace host {

void Print(const std::string& text, std::FILE* stream) {
  const std::string shown = stream != stdout || IsTerminal(stream) ? TerminalText(text) : text;
  std::fwrite(shown.data(), 1, shown.size(), stream);
  std::fflush(stream);
}

}  // namespace host
