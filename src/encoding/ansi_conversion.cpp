#include "encoding/ansi_conversion.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/code_page.h"

namespace {

constexpr std::uint32_t kToWideFlags = platform::kMbPrecomposed;
constexpr std::uint32_t kToBytesFlags = platform::kWcCompositeCheck | platform::kWcSepChars;

// -1 is the system ANSI code page. The platform's own stand-ins for it (CP_ACP, and
// CP_THREAD_ACP) are resolved here as well, so that the flags fit the page actually used.
std::uint32_t Resolve(int codePage) {
  if (codePage == encoding::kSystemAnsiCodePage || codePage == static_cast<int>(platform::kCpAcp)) {
    return platform::GetAnsiCodePage();
  }
  if (codePage == static_cast<int>(platform::kCpThreadAcp)) {
    return platform::GetThreadAnsiCodePage();
  }
  return static_cast<std::uint32_t>(codePage);
}

bool IsUtf8(std::uint32_t codePage) { return codePage == platform::kCpUtf8; }

int ToWide(const char* bytes, char16_t* buffer, int capacity, std::uint32_t codePage) {
  return platform::MultiByteToWide(codePage, IsUtf8(codePage) ? 0 : kToWideFlags, bytes, -1,
                                   buffer, capacity);
}

int ToBytes(const char16_t* text, char* buffer, int capacity, std::uint32_t codePage,
            const char* replacement) {
  const bool utf8 = IsUtf8(codePage);
  return platform::WideToMultiByte(codePage, utf8 ? 0 : kToBytesFlags, text, -1, buffer,
                                   capacity, utf8 ? nullptr : replacement, nullptr);
}

}  // namespace

int encoding::GetWideLength(const char* bytes, int codePage) {
  if (bytes == nullptr) return 0;
  return ToWide(bytes, nullptr, 0, Resolve(codePage));
}

int encoding::AnsiToWide(const char* bytes, char16_t* buffer, int capacity, int codePage) {
  // A capacity of 0 would turn the conversion into a size query and report characters that
  // were never written.
  if (bytes == nullptr || buffer == nullptr || capacity <= 0) return 0;
  std::fill(buffer, buffer + capacity, u'\0');
  const int written = ToWide(bytes, buffer, capacity, Resolve(codePage));
  return written > 0 ? written - 1 : 0;
}

namespace {

// Grows a conversion's heap buffer to `needed` units when `capacity` is smaller; false when
// memory runs out.
template <class T>
bool EnsureCapacity(CTemplateSmartPtrArray<T>& buffer, int& capacity, int needed) {
  if (capacity >= needed) return true;
  try {
    buffer.Grow(static_cast<std::size_t>(needed));
  } catch (const std::bad_alloc&) {
    return false;
  }
  capacity = needed;
  return true;
}

}  // namespace

int encoding::AnsiToWideBuffer(const char* bytes, CTemplateSmartPtrArray<char16_t>& buffer,
                               int capacity, int codePage) {
  if (!EnsureCapacity(buffer, capacity, GetWideLength(bytes, codePage))) return 0;
  return AnsiToWide(bytes, buffer.Get(), capacity, codePage);
}

int encoding::GetAnsiLength(const char16_t* text, int codePage) {
  if (text == nullptr) return 0;
  return ToBytes(text, nullptr, 0, Resolve(codePage), nullptr);
}

int encoding::WideToAnsi(const char16_t* text, char* buffer, int capacity, int codePage,
                         char replacement) {
  if (text == nullptr || buffer == nullptr || capacity <= 0) return 0;
  std::fill(buffer, buffer + capacity, '\0');
  const char defaultChar[2] = {replacement, '\0'};
  const int written = ToBytes(text, buffer, capacity, Resolve(codePage), defaultChar);
  return written > 0 ? written - 1 : 0;
}

int encoding::WideToAnsiBuffer(const char16_t* text, CTemplateSmartPtrArray<char>& buffer,
                               int capacity, int codePage, char replacement) {
  if (!EnsureCapacity(buffer, capacity, GetAnsiLength(text, codePage))) return 0;
  return WideToAnsi(text, buffer.Get(), capacity, codePage, replacement);
}
