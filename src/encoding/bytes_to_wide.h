// Byte text to wide text, scoped: CBytesToWide is the conversion used for values and log messages (all callers pass
// CP_THREAD_ACP): results of up to 128 wide characters live in the object, a longer one in a
// zero-filled heap array that the object releases. Use one object on one thread; the pointer
// it hands out lives as long as the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "encoding/inline_buffer.h"
#include "tunewell/wstring.h"

class CBytesToWide {
 public:
  static constexpr std::size_t kInlineSize = 128;

  // Converts text up to its first zero byte. A null text gives a null result. When the
  // conversion fails even after asking for the exact size, throws CConversionException (or
  // std::bad_alloc for an out-of-memory error or a failed allocation).
  CBytesToWide(const char* text, std::uint32_t codePage);
  CBytesToWide(const std::string& text, std::uint32_t codePage)
      : CBytesToWide(text.c_str(), codePage) {}
  CBytesToWide(const CBytesToWide&) = delete;
  CBytesToWide& operator=(const CBytesToWide&) = delete;

  // The converted, terminated text, or null for a null input.
  const char16_t* Get() const noexcept { return result_; }
  WString Str() const { return result_ != nullptr ? WString(result_) : WString(); }
  bool IsInline() const noexcept { return buffer_.IsInline(); }
  std::size_t Capacity() const noexcept { return buffer_.Capacity(); }

 private:
  CInlineBuffer<char16_t, kInlineSize> buffer_;
  const char16_t* result_ = nullptr;
};
