// Per-character upper-case mapping, standing in for the runtime's towupper. It folds every
// letter that has a simple one-unit upper-case form (non-ASCII letters too), not only a-z.
// Pure function: any thread may call it; it never fails.
#pragma once

namespace platform {

// The simple upper-case mapping of one UTF-16 unit; the unit itself when it has none, when
// its upper case lies outside the Basic Multilingual Plane, or when it is a surrogate.
char16_t ToUpper(char16_t c);

}  // namespace platform
