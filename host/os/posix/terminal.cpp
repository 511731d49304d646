#include "os/terminal.h"

#include <locale.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace host {
namespace {

// wcwidth answers for the thread's LC_CTYPE, and the host sets none (the C locale knows no
// width beyond ASCII): it is asked under C.UTF-8, which Debian's C library always carries,
// else under the user's own locale.
locale_t WidthLocale() {
  static const locale_t utf8 = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (made == static_cast<locale_t>(0)) {
      made = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    }
    return made;
  }();
  return utf8;
}

}  // namespace

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  return ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool RedrawsInPlace(std::FILE* stream) {
  const char* term = std::getenv("TERM");
  return IsTerminal(stream) && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

int CharacterColumns(char32_t character) {
  const locale_t utf8 = WidthLocale();
  if (utf8 == static_cast<locale_t>(0)) return 1;
  const locale_t previous = uselocale(utf8);
  const int columns = wcwidth(static_cast<wchar_t>(character));
  uselocale(previous);
  return columns < 0 ? 1 : columns;  // a control character or one not assigned: one column
}

}  // namespace host
