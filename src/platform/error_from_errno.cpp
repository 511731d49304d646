// The one table from the C runtime's errno values to Windows error numbers, for both
// backends: values a runtime does not define are left out by feature tests, not by platform.
#include <cerrno>
#include <utility>

#include "platform/system_error.h"

namespace platform {

std::uint32_t ErrorFromErrno(int errnoValue) {
  static constexpr std::pair<int, std::uint32_t> kMap[] = {
      {0, error::kSuccess},
      {ENOENT, error::kFileNotFound},
      {ENOTDIR, error::kPathNotFound},
      {EMFILE, error::kTooManyOpenFiles},
      {ENFILE, error::kTooManyOpenFiles},
      {EACCES, error::kAccessDenied},
      {EPERM, error::kAccessDenied},
      {EISDIR, error::kAccessDenied},
      {EROFS, error::kAccessDenied},
      {EBADF, error::kInvalidHandle},
      {ENOMEM, error::kNotEnoughMemory},
      {EBUSY, error::kSharingViolation},
#ifdef ETXTBSY
      {ETXTBSY, error::kSharingViolation},
#endif
#ifdef EWOULDBLOCK
      {EWOULDBLOCK, error::kSharingViolation},
#endif
      {EEXIST, error::kFileExists},
      {EINVAL, error::kInvalidParameter},
      {ENOSPC, error::kDiskFull},
#ifdef EDQUOT
      {EDQUOT, error::kDiskFull},
#endif
      {EFBIG, error::kDiskFull},
      {ENAMETOOLONG, error::kFilenameTooLong},
      {EILSEQ, error::kInvalidName},
      {EIO, error::kWriteFault},
  };
  for (const auto& [from, to] : kMap) {
    if (from == errnoValue) return to;
  }
  return error::kInvalidParameter;
}

}  // namespace platform
