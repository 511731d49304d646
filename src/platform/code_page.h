// Conversion between byte text in a Windows code page and UTF-16, standing in for
// MultiByteToWideChar / WideCharToMultiByte with Windows' results, and the ANSI code pages.
// Any thread may call these. Failures return 0 and set the calling thread's last error
// (87 invalid parameter or unknown code page, 122 buffer too small, 1113 no translation).
#pragma once

#include <cstdint>

#include "tunewell/wstring.h"

namespace platform {

inline constexpr std::uint32_t kCpAcp = 0;          // the system ANSI code page
inline constexpr std::uint32_t kCpThreadAcp = 3;    // the calling thread's ANSI code page
inline constexpr std::uint32_t kCpLatin1 = 28591;   // ISO 8859-1
inline constexpr std::uint32_t kCpWindows1252 = 1252;
inline constexpr std::uint32_t kCpUtf8 = 65001;

// Bytes to UTF-16. With dstCapacity 0 (dst may be null) returns the number of code units
// needed; otherwise the number written, or 0 on failure. srcLength -1 means NUL-terminated
// (the terminator is converted and counted).
int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* src, int srcLength,
                    char16_t* dst, int dstCapacity);

// UTF-16 to bytes; characters without a mapping become the first byte of defaultChar (when
// given) and set *usedDefault. Sizes as for MultiByteToWide.
int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* src,
                    int srcLength, char* dst, int dstCapacity, const char* defaultChar,
                    bool* usedDefault);

// The system ANSI code page (GetACP): 65001 on this platform unless a test sets another.
std::uint32_t GetAnsiCodePage();
void SetAnsiCodePage(std::uint32_t codePage);
// The calling thread's ANSI code page (CP_THREAD_ACP): follows the system ANSI code page.
std::uint32_t GetThreadAnsiCodePage();

}  // namespace platform
