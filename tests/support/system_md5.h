// The MD5 checksum of a file by an implementation other than the plug-in's: md5sum on POSIX,
// CryptoAPI on Windows.
#pragma once

#include <string>

namespace testing_support {

// Lower-case hex; empty when it cannot be made.
std::string SystemMd5OfFile(const std::string& path);

}  // namespace testing_support
