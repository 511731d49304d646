// The file-text conversions: terminated text between bytes in a code page and wide text, for
// text files kept in an ANSI code page (CStdioFileEx). The code page is signed; -1 stands for
// the system ANSI code page, looked up at each call. For every code page but UTF-8 (65001),
// bytes to wide uses MB_PRECOMPOSED and wide to bytes uses WC_COMPOSITECHECK | WC_SEPCHARS
// with the caller's replacement byte; UTF-8 takes flags 0 and no replacement.
//
// None of these raises or logs: a null argument, a capacity of 0 or less, a conversion
// failure or a failed allocation all show as a count of 0, which callers take as empty text.
// Any thread may call them; the buffers are the caller's.
#pragma once

#include "encoding/template_smart_ptr_array.h"

namespace encoding {

inline constexpr int kSystemAnsiCodePage = -1;

// Wide characters needed for bytes, terminator included; 0 for a null input or a failure.
int GetWideLength(const char* bytes, int codePage);
// Converts bytes into buffer (capacity wide characters, zero-filled first); the number of
// characters written without the terminator, or 0.
int AnsiToWide(const char* bytes, char16_t* buffer, int capacity, int codePage);
// As AnsiToWide, after growing the array to the needed length when capacity is too small.
int AnsiToWideBuffer(const char* bytes, CTemplateSmartPtrArray<char16_t>& buffer, int capacity,
                     int codePage);

// Bytes needed for text, terminator included; 0 for a null input or a failure.
int GetAnsiLength(const char16_t* text, int codePage);
// Converts text into buffer (capacity bytes, zero-filled first); characters without a mapping
// become replacement. The number of bytes written without the terminator, or 0.
int WideToAnsi(const char16_t* text, char* buffer, int capacity, int codePage, char replacement);
// As WideToAnsi, after growing the array to the needed length when capacity is too small.
int WideToAnsiBuffer(const char16_t* text, CTemplateSmartPtrArray<char>& buffer, int capacity,
                     int codePage, char replacement);

}  // namespace encoding
