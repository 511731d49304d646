// Windows error numbers and their English texts, as FormatMessageW gives them (ending in
// CR LF), and the calling thread's "last error". Every platform stand-in reports failures with
// these numbers so that the plug-in's own code reads as it would on Windows.
#pragma once

#include <cstdint>

#include "tunewell/wstring.h"

namespace platform {

namespace error {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kTooManyOpenFiles = 4;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kWriteFault = 29;
inline constexpr std::uint32_t kReadFault = 30;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kHandleEof = 38;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kDiskFull = 112;
inline constexpr std::uint32_t kInsufficientBuffer = 122;
inline constexpr std::uint32_t kInvalidName = 123;
inline constexpr std::uint32_t kNegativeSeek = 131;
inline constexpr std::uint32_t kAlreadyExists = 183;
inline constexpr std::uint32_t kFilenameTooLong = 206;
inline constexpr std::uint32_t kInvalidFlags = 1004;
inline constexpr std::uint32_t kNoUnicodeTranslation = 1113;
inline constexpr std::uint32_t kCancelled = 1223;
inline constexpr std::uint32_t kInternetOutOfHandles = 12001;
inline constexpr std::uint32_t kInternetTimeout = 12002;
inline constexpr std::uint32_t kInternetInternalError = 12004;
inline constexpr std::uint32_t kInternetInvalidUrl = 12005;
inline constexpr std::uint32_t kInternetUnrecognizedScheme = 12006;
inline constexpr std::uint32_t kInternetNameNotResolved = 12007;
inline constexpr std::uint32_t kInternetOperationCancelled = 12017;
inline constexpr std::uint32_t kInternetIncorrectHandleState = 12019;
inline constexpr std::uint32_t kInternetCannotConnect = 12029;
inline constexpr std::uint32_t kInternetConnectionAborted = 12030;
inline constexpr std::uint32_t kHttpHeaderNotFound = 12150;
inline constexpr std::uint32_t kHttpInvalidServerResponse = 12152;
inline constexpr std::uint32_t kHttpRedirectFailed = 12156;
}  // namespace error

// The English (United States) message text of a Windows error number, ending in CR LF as the
// system's message table gives it; empty for a number this layer does not know.
WString ErrorText(std::uint32_t code);

// The calling thread's last error, as GetLastError / SetLastError keep it.
std::uint32_t GetLastErrorCode();
void SetLastErrorCode(std::uint32_t code);

// The Windows error number that stands for a POSIX errno value (file and memory errors).
std::uint32_t ErrorFromErrno(int errnoValue);

}  // namespace platform
