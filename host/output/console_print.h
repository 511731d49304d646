// Printing a command's text: what goes to a terminal never carries a control character from a
// file or the site (output/text_output.h TerminalText), so that a tag or a page cannot set the
// title, move the cursor or clear the screen. Messages on stderr are escaped wherever they go
// (a log file is read on a terminal later); stdout keeps its bytes when it is a file or a pipe,
// where lyrics must arrive exactly as found. Flushes after each text. Any thread.
#pragma once

#include <cstdio>
#include <string>

namespace host {

void Print(const std::string& text, std::FILE* stream);

}  // namespace host
