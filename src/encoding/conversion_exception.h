// CConversionException: the error a scoped code-page conversion (CWideToBytes, CBytesToWide)
// raises when the platform conversion fails, carrying the result code made from the Windows
// error number as the framework's exception does. ThrowConversionError raises it, or
// std::bad_alloc when the error means "out of memory". Any thread may use these.
#pragma once

#include <cstdint>
#include <stdexcept>

class CConversionException : public std::runtime_error {
 public:
  explicit CConversionException(std::int32_t hresult);
  // The result code: 0x8007 in the upper 16 bits and the error's low 16 bits, or the error
  // value itself when it is 0 or negative as a signed number.
  std::int32_t HResult() const noexcept { return hresult_; }

 private:
  std::int32_t hresult_;
};

namespace encoding {

// The result code of a Windows error number (HRESULT_FROM_WIN32).
std::int32_t HResultFromWin32(std::uint32_t error);

// Raises the exception for a Windows error number: std::bad_alloc when its result code is
// E_OUTOFMEMORY, CConversionException otherwise. Never returns.
[[noreturn]] void ThrowConversionError(std::uint32_t error);

}  // namespace encoding
