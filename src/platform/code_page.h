// Conversion between byte text in a Windows code page and UTF-16, standing in for
// MultiByteToWideChar / WideCharToMultiByte with Windows' results, and the ANSI code pages.
// Any thread may call these. Failures return 0 and set the calling thread's last error
// (87 invalid parameter or unknown code page, 122 buffer too small, 1004 flags not valid for
// the code page, 1113 no translation).
//
// Results that follow Windows rather than the converter library underneath:
// - 28591 maps every byte to the code point of the same value, and back;
// - 1252's five undefined bytes 0x81 0x8D 0x8F 0x90 0x9D map to U+0081 ... U+009D and back;
// - UTF-8 with flags 0: each maximal ill-formed piece becomes one U+FFFD, a byte-order mark
//   stays U+FEFF; lone surrogates become EF BF BD;
// - wide to bytes: every UTF-16 code unit without a mapping becomes one default character
//   (the first byte of the caller's, otherwise "?"), so an unmappable pair gives two;
// - code pages 0 (CP_ACP) and 3 (CP_THREAD_ACP) stand for the ANSI code page; 1200, 1201,
//   12000 and 12001 (UTF-16/32) and code pages the converter library lacks fail with 87.
// No best-fit mapping is done: a character either maps exactly or becomes the default one.
#pragma once

#include <cstdint>

#include "tunewell/wstring.h"

namespace platform {

inline constexpr std::uint32_t kCpAcp = 0;          // the system ANSI code page
inline constexpr std::uint32_t kCpThreadAcp = 3;    // the calling thread's ANSI code page
inline constexpr std::uint32_t kCpLatin1 = 28591;   // ISO 8859-1
inline constexpr std::uint32_t kCpWindows1252 = 1252;
inline constexpr std::uint32_t kCpUtf8 = 65001;

// Flags of MultiByteToWide. MB_COMPOSITE and MB_USEGLYPHCHARS are not supported (1004).
inline constexpr std::uint32_t kMbPrecomposed = 0x1;       // single-byte pages are precomposed
inline constexpr std::uint32_t kMbErrInvalidChars = 0x8;   // fail with 1113 on invalid input

// Flags of WideToMultiByte. WC_DISCARDNS and WC_DEFAULTCHAR are not supported (1004).
inline constexpr std::uint32_t kWcSepChars = 0x20;          // default with kWcCompositeCheck
inline constexpr std::uint32_t kWcErrInvalidChars = 0x80;   // UTF-8 only: 1113 on lone surrogates
inline constexpr std::uint32_t kWcCompositeCheck = 0x200;   // base + nonspacing mark -> precomposed
inline constexpr std::uint32_t kWcNoBestFitChars = 0x400;   // accepted; no best fit is ever done

// Bytes to UTF-16. With dstCapacity 0 (dst may be null) returns the number of code units
// needed; otherwise the number written, or 0 on failure. srcLength -1 means NUL-terminated
// (the terminator is converted and counted). A too small dst fails with 122 and its content
// is then unspecified.
int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* src, int srcLength,
                    char16_t* dst, int dstCapacity);

// UTF-16 to bytes; characters without a mapping become the first byte of defaultChar (when
// given) and set *usedDefault. Sizes as for MultiByteToWide. For UTF-8 defaultChar and
// usedDefault must be null (87).
int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* src,
                    int srcLength, char* dst, int dstCapacity, const char* defaultChar,
                    bool* usedDefault);

// The system ANSI code page (GetACP): 65001 on this platform unless a test sets another.
std::uint32_t GetAnsiCodePage();
void SetAnsiCodePage(std::uint32_t codePage);
// The calling thread's ANSI code page (CP_THREAD_ACP): follows the system ANSI code page.
std::uint32_t GetThreadAnsiCodePage();

// For tests: sets the system ANSI code page for the object's lifetime, then restores it.
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(std::uint32_t codePage) : previous_(GetAnsiCodePage()) {
    SetAnsiCodePage(codePage);
  }
  ~ScopedAnsiCodePage() { SetAnsiCodePage(previous_); }
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  std::uint32_t previous_;
};

// Keeps the conversion library loaded for the rest of the process, so that the converter data it
// caches is not lost when the plug-in that loaded it is unloaded. Called when the library loads.
void KeepConversionLibraryLoaded();

}  // namespace platform
