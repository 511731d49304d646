#include "platform/crt_string.h"

#include <stdlib.h>

#include "platform/windows/win_text.h"

namespace platform {

int Wtoi(const char16_t* text) { return text == nullptr ? 0 : ::_wtoi(win::W(text)); }

}  // namespace platform
