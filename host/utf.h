// UTF-8 <-> UTF-16 for the host's command line and output. Ill-formed input becomes U+FFFD.
#pragma once

#include <string>

#include "tunewell/wstring.h"

namespace host {

std::string ToUtf8(const WString& text);
WString FromUtf8(const std::string& text);

}  // namespace host
