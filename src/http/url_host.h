// Host names of page addresses, for the host application's bypass list: EnsureScheme gives an
// address a scheme when it has none, UrlGetHost takes the host name out of an absolute
// address. Any thread may call them; neither throws.
#pragma once

#include "tunewell/wstring.h"

namespace http {

// The address unchanged when it contains "://" anywhere, else scheme + "://" + address.
WString EnsureScheme(const WString& address, const WString& scheme);

// The host name of an absolute address (escapes decoded; no user name, password or port), or
// empty text: for an empty address, and for one that cannot be split, which also writes
// "UrlGetHost: InternetCrackUrl  GetLastError():<code>, <text>" at Error.
WString UrlGetHost(const WString& address);

}  // namespace http
