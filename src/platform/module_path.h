// The path of the shared object (or executable) that contains a given address: the stand-in
// for the module file name of the library's own module.
#pragma once

#include "tunewell/wstring.h"

namespace platform {

// The absolute path of the module containing `address`; empty when it cannot be found.
WString GetModuleFilePath(const void* address);

}  // namespace platform
