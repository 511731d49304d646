// Byte text to wide text.
//
// BytesToWide converts a downloaded page (or any byte text) in a caller-given code page; it
// never throws: failures are written to the trace log and give the empty text.
//
// CBytesToWide is the scoped conversion used for values and log messages (all callers pass
// CP_THREAD_ACP): results of up to 128 wide characters live in the object, a longer one in a
// zero-filled heap array that the object releases. Use one object on one thread; the pointer
// it hands out lives as long as the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/inline_buffer.h"
#include "tunewell/wstring.h"

// Converts bytes up to their first zero byte. Failures give the empty text and one trace
// line: "MultiByteToWideChar (get needed length) failed for string: \"<bytes>\", codePage=<n>"
// at Warning when the size query fails (a code page that is not installed, for instance),
// "Malloc failed !!!" at Error when the buffer cannot be allocated, and
// "MultiByteToWideChar failed for string: \"<bytes>\", codePage=<n>" at Error when the
// conversion itself fails. An empty input gives the empty text and no trace line.
WString BytesToWide(const char* bytes, std::uint32_t codePage);
inline WString BytesToWide(const std::string& bytes, std::uint32_t codePage) {
  return BytesToWide(bytes.c_str(), codePage);
}

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
