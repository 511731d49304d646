#include "encoding/bytes_to_wide.h"

#include <climits>
#include <cstring>
#include <new>

#include "platform/code_page.h"
#include "platform/system_error.h"
#include "encoding/conversion_exception.h"

CBytesToWide::CBytesToWide(const char* text, std::uint32_t codePage) {
  if (text == nullptr) return;
  const std::size_t units = std::strlen(text) + 1;  // the terminator is converted too
  if (units > INT_MAX) encoding::ThrowConversionError(platform::error::kInvalidParameter);
  const int n = static_cast<int>(units);

  // No code page gives more wide characters than bytes; the exact size is asked for anyway
  // should one do so.
  char16_t* out = buffer_.Allocate(units);
  int written = platform::MultiByteToWide(codePage, 0, text, n, out, n);
  if (written == 0 && platform::GetLastErrorCode() == platform::error::kInsufficientBuffer) {
    const int needed = platform::MultiByteToWide(codePage, 0, text, n, nullptr, 0);
    if (needed > 0) {
      out = buffer_.Allocate(static_cast<std::size_t>(needed));
      written = platform::MultiByteToWide(codePage, 0, text, n, out, needed);
    }
  }
  if (written == 0) encoding::ThrowConversionError(platform::GetLastErrorCode());
  result_ = out;
}
