// How the plug-in's texts are shown on the command line: lyrics with LF line ends unless the
// user asked for the plug-in's own CR LF (--raw), and one-line fields (titles, addresses in
// TITLE<TAB>URL lines) kept on one line so that each output line stays one record.
// Pure functions; any thread.
#pragma once

#include <string>

namespace host {

// The lyrics as the plug-in gave them (CR LF) or with each CR LF turned into LF.
std::string LyricsForOutput(const std::string& lyrics, bool raw);
// The text with every tab, CR, LF and other control character replaced by a space.
std::string OneLineField(const std::string& text);

}  // namespace host
