// CMD5Checksum: the MD5 message digest (RFC 1321) fed bytes in pieces, and ComputeFileMD5,
// the digest of a file's content. The digest identifies the exact build of the library.
// One object per computation, one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tunewell/wstring.h"

class CMD5Checksum {
 public:
  CMD5Checksum();
  virtual ~CMD5Checksum() = default;

  void Update(const std::uint8_t* bytes, std::size_t length);
  // Pads, appends the bit count and returns the digest as 32 lowercase hex digits. The object
  // is spent afterwards.
  WString Final();

 private:
  void Transform(const std::uint8_t block[64]);

  std::uint8_t buffer_[64] = {};
  std::uint32_t count_[2] = {0, 0};  // bits, low word first
  std::uint32_t state_[4];
};

namespace diag {

// The digest of the file's content, read 1024 bytes at a time. Throws platform::FileError
// when the file cannot be opened or read.
WString ComputeFileMD5(const WString& path);

}  // namespace diag
