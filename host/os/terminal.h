// Whether a stream the host writes to is a terminal that takes in-place redrawing: a carriage
// return back to the line's start and ESC [K clearing the rest of it, as the progress bar
// draws itself. Elsewhere (a file, a pipe) the host writes plain lines instead.
// Any thread. (Backends: os/posix/, os/windows/.)
#pragma once

#include <cstdio>

namespace host {

// On POSIX a terminal device; on Windows a console that handles VT sequences
// (ENABLE_VIRTUAL_TERMINAL_PROCESSING), since a console without them would print the escape.
bool IsTerminal(std::FILE* stream);
// The width in columns of the terminal behind stream; 0 when it is none or cannot say.
int TerminalColumns(std::FILE* stream);
// Whether the progress bar may redraw itself on stream: a terminal (above) that is not a dumb
// one (on POSIX TERM unset or "dumb", as an editor's shell buffer says), which would show the
// carriage returns and escapes as they are.
bool RedrawsInPlace(std::FILE* stream);
// The columns a terminal gives the character: 2 for a wide one (CJK, most emoji), 0 for one
// that joins the one before (a combining mark), else 1.
int CharacterColumns(char32_t character);

}  // namespace host
