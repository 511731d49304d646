#include "os/terminal.h"

#include <io.h>
#include <windows.h>

namespace host {

bool IsTerminal(std::FILE* stream) {
  // The C runtime's _isatty says yes to any character device, the NUL device included, and
  // says nothing of whether the console reads ESC [K as a command or prints it.
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0 &&
         (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns(std::FILE* stream) {
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

// A console that handles VT sequences redraws; there is no dumb one among them.
bool RedrawsInPlace(std::FILE* stream) { return IsTerminal(stream); }

// The system's character types: full-width and ideographic characters take two cells,
// non-spacing marks none. A letter is never one of those marks, though some systems' tables
// also call letters with a diacritic ("ú", "Ñ") non-spacing.
int CharacterColumns(char32_t character) {
  wchar_t units[2];
  int count = 1;
  if (character >= 0x10000) {
    const char32_t rest = character - 0x10000;
    units[0] = static_cast<wchar_t>(0xD800 + (rest >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + (rest & 0x3FF));
    count = 2;
  } else {
    units[0] = static_cast<wchar_t>(character);
  }
  WORD types[2] = {};
  if (!::GetStringTypeW(CT_CTYPE3, units, count, types)) return 1;
  if ((types[0] & C3_NONSPACING) != 0 && (types[0] & C3_ALPHA) == 0) return 0;
  return (types[0] & (C3_FULLWIDTH | C3_IDEOGRAPH)) != 0 ? 2 : 1;
}

}  // namespace host
