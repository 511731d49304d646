// What the host needs to read the plug-in's trace log back: the process id that names the
// plug-in's file in the log folder, and the system's text for an error number. The log shows a
// failed download's error only as that text; asking for the same texts in the same process
// (so in the same language) finds the number again. (Backends: os/posix/, os/windows/.)
#pragma once

#include <cstdint>
#include <string>

namespace host {

std::uint32_t CurrentProcessId();
// The text the plug-in writes for an error number, without its line break (UTF-8); empty when
// the system has none.
std::string DownloadErrorText(std::uint32_t code);

}  // namespace host
