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

}  // namespace host
