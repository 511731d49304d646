#include "encoding/conversion_exception.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr std::int32_t kEOutOfMemory = static_cast<std::int32_t>(0x8007000E);

std::string Describe(std::int32_t hresult) {
  char text[64];
  std::snprintf(text, sizeof text, "code-page conversion failed, HRESULT 0x%08X",
                static_cast<unsigned>(hresult));
  return text;
}

}  // namespace

CConversionException::CConversionException(std::int32_t hresult)
    : std::runtime_error(Describe(hresult)), hresult_(hresult) {}

std::int32_t encoding::HResultFromWin32(std::uint32_t error) {
  const auto value = static_cast<std::int32_t>(error);
  if (value <= 0) return value;
  return static_cast<std::int32_t>((error & 0xFFFFu) | 0x80070000u);
}

void encoding::ThrowConversionError(std::uint32_t error) {
  const std::int32_t hresult = encoding::HResultFromWin32(error);
  if (hresult == kEOutOfMemory) throw std::bad_alloc();
  throw CConversionException(hresult);
}
