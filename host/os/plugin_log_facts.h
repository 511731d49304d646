// The system's text for an error number, as the plug-in writes it into its trace log: the log
// shows a failed download's error only as that text; asking for the same texts in the same
// process (so in the same language) finds the number again. (Backends: os/posix/, os/windows/.)
#pragma once

#include <cstdint>
#include <string>

namespace host {

// The text the plug-in writes for an error number, without its line break (UTF-8); empty when
// the system has none.
std::string DownloadErrorText(std::uint32_t code);

// What to say of a failed download whose error text is none of the known ones: on Windows the
// system's own text; on POSIX, where the plug-in's texts are the Windows ones it stands in for,
// a plain sentence instead. Either way a failure is never told as success ("The operation
// completed successfully.", the text of no error at all). Empty for an empty text: nothing told.
std::string UnexplainedDownloadError(const std::string& text);

}  // namespace host
