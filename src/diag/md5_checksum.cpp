#include "diag/md5_checksum.h"

#include <cstring>

#include "platform/file.h"

namespace {

constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// Per-round shift amounts and the sine-derived constants of RFC 1321.
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

void EncodeLittleEndian(std::uint8_t* out, const std::uint32_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<std::uint8_t>(words[i] >> (8 * b));
  }
}

}  // namespace

CMD5Checksum::CMD5Checksum() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void CMD5Checksum::Transform(const std::uint8_t block[64]) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = static_cast<std::uint32_t>(block[4 * i]) | (static_cast<std::uint32_t>(block[4 * i + 1]) << 8) |
           (static_cast<std::uint32_t>(block[4 * i + 2]) << 16) |
           (static_cast<std::uint32_t>(block[4 * i + 3]) << 24);
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d); g = i; break;
      case 1: f = (d & b) | (~d & c); g = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; g = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); g = (7 * i) % 16; break;
    }
    const std::uint32_t next = b + RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void CMD5Checksum::Update(const std::uint8_t* bytes, std::size_t length) {
  std::size_t used = (count_[0] >> 3) & 0x3F;
  // The bit count is a 64-bit number kept as two words; length * 8 may carry into the high one.
  const std::uint64_t bits = static_cast<std::uint64_t>(length) << 3;
  const std::uint32_t low = count_[0] + static_cast<std::uint32_t>(bits);
  if (low < count_[0]) ++count_[1];
  count_[0] = low;
  count_[1] += static_cast<std::uint32_t>(bits >> 32);

  std::size_t i = 0;
  const std::size_t room = 64 - used;
  if (length >= room) {
    std::memcpy(buffer_ + used, bytes, room);
    Transform(buffer_);
    for (i = room; i + 63 < length; i += 64) Transform(bytes + i);
    used = 0;
  }
  if (length > i) std::memcpy(buffer_ + used, bytes + i, length - i);
}

WString CMD5Checksum::Final() {
  std::uint8_t bits[8];
  EncodeLittleEndian(bits, count_, 2);
  const std::size_t used = (count_[0] >> 3) & 0x3F;
  const std::size_t padding = used < 56 ? 56 - used : 120 - used;
  static constexpr std::uint8_t kPadding[64] = {0x80};
  Update(kPadding, padding);
  Update(bits, 8);

  std::uint8_t digest[16];
  EncodeLittleEndian(digest, state_, 4);
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  WString text;
  text.reserve(32);
  for (std::uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

WString diag::ComputeFileMD5(const WString& path) {
  platform::File file;
  platform::FileError error;
  if (!file.Open(path, platform::File::modeRead | platform::File::shareDenyWrite |
                           platform::File::typeBinary,
                 &error)) {
    throw error;
  }
  CMD5Checksum checksum;
  std::uint8_t buffer[1024];
  for (;;) {
    const std::size_t n = file.Read(buffer, sizeof buffer);
    if (n == 0) break;
    checksum.Update(buffer, n);
  }
  return checksum.Final();
}
