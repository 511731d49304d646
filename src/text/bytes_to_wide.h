// Byte text to wide text for a downloaded page (or any byte text) in a caller-given code page.
// It never throws: failures are written to the trace log and give the empty text. Any thread
// may call it. (CBytesToWide, in encoding/, is the scoped conversion that throws instead.)
#pragma once

#include <cstdint>
#include <string>

#include "tunewell/wstring.h"

namespace text {

// Converts bytes up to their first zero byte. Failures give the empty text and one trace
// line: "MultiByteToWideChar (get needed length) failed for string: \"<bytes>\", codePage=<n>"
// at Warning when the size query fails (a code page that is not installed, for instance),
// "Malloc failed !!!" at Error when the buffer cannot be allocated, and
// "MultiByteToWideChar failed for string: \"<bytes>\", codePage=<n>" at Error when the
// conversion itself fails. An empty input gives the empty text and no trace line.
WString BytesToWide(const char* bytes, std::uint32_t codePage);
inline WString BytesToWide(const std::string& bytes, std::uint32_t codePage) {
  return BytesToWide(bytes.c_str(), codePage);
}

}  // namespace text
