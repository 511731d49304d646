// CWideToBytes: wide text converted to terminated bytes in a code page for the lifetime of the
// object (all callers pass CP_THREAD_ACP). Results of up to 128 bytes live in the object; a
// longer one in a zero-filled heap array that the object releases. Characters the code page
// cannot represent become its default character. Use one object on one thread; the pointer
// it hands out lives as long as the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "encoding/inline_buffer.h"
#include "tunewell/wstring.h"

class CWideToBytes {
 public:
  static constexpr std::size_t kInlineSize = 128;

  // Converts text up to its first NUL. A null text gives a null result. When the conversion
  // fails even after asking for the exact size, throws CConversionException (or std::bad_alloc
  // for an out-of-memory error or a failed allocation).
  CWideToBytes(const char16_t* text, std::uint32_t codePage);
  CWideToBytes(const WString& text, std::uint32_t codePage)
      : CWideToBytes(text.c_str(), codePage) {}
  CWideToBytes(const CWideToBytes&) = delete;
  CWideToBytes& operator=(const CWideToBytes&) = delete;

  // The converted, terminated text, or null for a null input.
  const char* Get() const noexcept { return result_; }
  // The converted text as a string (empty for a null input).
  std::string Str() const { return result_ != nullptr ? std::string(result_) : std::string(); }
  // Whether the result lives in the object's own 128 bytes, and how many bytes were reserved.
  bool IsInline() const noexcept { return buffer_.IsInline(); }
  std::size_t Capacity() const noexcept { return buffer_.Capacity(); }

 private:
  CInlineBuffer<char, kInlineSize> buffer_;
  const char* result_ = nullptr;
};
