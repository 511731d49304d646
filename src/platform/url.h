// Splitting a web address, standing in for InternetCrackUrlW with escape decoding (ICU_DECODE)
// as far as the system uses it: the host name. Any thread may call it.
#pragma once

#include "tunewell/wstring.h"

namespace platform {

// The host name of an absolute address, with %XX escapes decoded, without any user name,
// password or port. False with the last error set on failure: 12006 when the address has no
// scheme, 12005 when it cannot be parsed; host is then left empty.
bool CrackUrlHost(const WString& url, WString& host);

}  // namespace platform
