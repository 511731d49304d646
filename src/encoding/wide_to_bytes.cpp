#include "encoding/wide_to_bytes.h"

#include <climits>

#include "platform/code_page.h"
#include "platform/system_error.h"
#include "encoding/conversion_exception.h"

CWideToBytes::CWideToBytes(const char16_t* text, std::uint32_t codePage) {
  if (text == nullptr) return;
  std::size_t length = 0;
  while (text[length] != u'\0') ++length;
  const std::size_t units = length + 1;  // the terminator is converted too
  if (units > INT_MAX / 4) encoding::ThrowConversionError(platform::error::kInvalidParameter);
  const int n = static_cast<int>(units);

  // Four bytes per unit is enough for every code page this plug-in meets; the exact size is
  // asked for only when it is not.
  char* out = buffer_.Allocate(units * 4);
  int written =
      platform::WideToMultiByte(codePage, 0, text, n, out, 4 * n, nullptr, nullptr);
  if (written == 0 && platform::GetLastErrorCode() == platform::error::kInsufficientBuffer) {
    const int needed =
        platform::WideToMultiByte(codePage, 0, text, n, nullptr, 0, nullptr, nullptr);
    if (needed > 0) {
      out = buffer_.Allocate(static_cast<std::size_t>(needed));
      written = platform::WideToMultiByte(codePage, 0, text, n, out, needed, nullptr, nullptr);
    }
  }
  if (written == 0) encoding::ThrowConversionError(platform::GetLastErrorCode());
  result_ = out;
}
