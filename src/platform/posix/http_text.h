// Text conversions of the HTTP stand-in: WinHTTP takes UTF-16 and speaks bytes on the wire.
// Request text goes out as UTF-8; response header bytes come back as ISO 8859-1, each byte
// one code unit, so that nothing a server sends is lost. Any thread; none fails.
#pragma once

#include <string>
#include <string_view>

#include "tunewell/wstring.h"

namespace platform::posix_http {

std::string ToUtf8(const WString& text);
// Ill-formed bytes become U+FFFD.
WString FromUtf8(std::string_view bytes);
WString FromLatin1(std::string_view bytes);

}  // namespace platform::posix_http
