#include "diag/md5_checksum.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/file.h"
#include "support/fake_host.h"
#include "support/system_md5.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Narrow;
using testing_support::TempDir;

std::string Digest(const std::string& bytes, std::size_t piece = 0) {
  CMD5Checksum checksum;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (piece == 0) piece = bytes.size() + 1;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    checksum.Update(data + at, std::min(piece, bytes.size() - at));
  }
  return Narrow(checksum.Final());
}

TEST(MD5Checksum, Rfc1321TestSuite) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : cases) {
    EXPECT_EQ(digest, Digest(input)) << '"' << input << '"';
    EXPECT_EQ(digest, Digest(input, 1)) << "byte by byte: " << input;
    EXPECT_EQ(digest, Digest(input, 7)) << "in pieces of 7: " << input;
  }
}

// Against an independent implementation: md5sum, or Windows' CryptoAPI.
TEST(MD5Checksum, PaddingBoundariesAgreeWithTheSystemsMd5) {
  TempDir dir;
  std::mt19937 random(1321);
  // Around the 56-byte padding limit and the 64-byte block, and a few larger sizes that are
  // not multiples of the 1024-byte read.
  const std::size_t sizes[] = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1023, 1024, 1025, 4096, 100003};
  for (std::size_t size : sizes) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string path = dir.File("f" + std::to_string(size));
    std::ofstream(path, std::ios::binary) << bytes;
    const std::string expected = testing_support::SystemMd5OfFile(path);
    ASSERT_EQ(32u, expected.size());
    EXPECT_EQ(expected, Digest(bytes)) << size;
    EXPECT_EQ(expected, Digest(bytes, 13)) << size;
    EXPECT_EQ(expected, Narrow(diag::ComputeFileMD5(platform::PathFromNative(path)))) << size;
  }
}

TEST(MD5Checksum, TextIsAlwaysThirtyTwoLowercaseDigits) {
  // "a" digests to 0c...: a first byte below 16 keeps its leading zero.
  const std::string digest = Digest("a");
  EXPECT_EQ("0c", digest.substr(0, 2));
  for (int i = 0; i < 200; ++i) {
    const std::string d = Digest(std::to_string(i));
    ASSERT_EQ(32u, d.size());
    EXPECT_EQ(std::string::npos, d.find_first_not_of("0123456789abcdef")) << d;
  }
}

TEST(ComputeFileMD5, UnreadableFileRaisesTheFileError) {
  TempDir dir;
  try {
    diag::ComputeFileMD5(platform::PathFromNative(dir.File("missing")));
    FAIL() << "a missing file must raise";
  } catch (const platform::FileError& error) {
    EXPECT_EQ(2u, error.Code());
  }
  EXPECT_THROW(diag::ComputeFileMD5(platform::PathFromNative(dir.path())), platform::FileError);
}

}  // namespace
