// How the plug-in's texts are shown on the command line: lyrics with LF line ends unless the
// user asked for the plug-in's own CR LF (--raw), and one-line fields (titles, addresses in
// TITLE<TAB>URL lines) kept on one line so that each output line stays one record.
// Lyrics as they go into a music file's tags, and file paths as the report shows them.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace host {

// The lyrics as the plug-in gave them (CR LF) or with each CR LF turned into LF.
std::string LyricsForOutput(const std::string& lyrics, bool raw);
// The text with every tab, CR, LF and other control character (C0, DEL and C1) replaced by a
// space.
std::string OneLineField(const std::string& text);
// The lyrics as a music file stores them: LF line ends, no trailing blank lines (nor a final
// line end).
std::string LyricsForTag(const std::string& lyrics);
// A text from a file, the site or the user as a message line shows it: valid UTF-8 as it is,
// each byte of an invalid sequence and each control character (C0, DEL, and the C1 ones a
// terminal may take for commands) as \xNN, so that a name in another encoding stays one
// readable line and no text can move the cursor, set the title or clear the screen.
std::string PrintableText(const std::string& text);
// A path as the report shows it: PrintableText.
inline std::string PrintablePath(const std::string& path) { return PrintableText(path); }
// Lines of text (lyrics) for a terminal: as PrintableText, but line ends and tabs kept.
std::string TerminalText(const std::string& text);
// The length of the well-formed UTF-8 sequence that starts at `at` (`at` < size), or 0 when
// the bytes there are not one (a stray or overlong byte, a surrogate, a cut sequence).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at);

}  // namespace host
