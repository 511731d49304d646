#include "platform/crt_rand.h"

namespace platform {
namespace {
thread_local std::uint32_t randState = 1;
}

void CrtSrand(std::uint32_t seed) { randState = seed; }

int CrtRand() {
  randState = randState * 214013u + 2531011u;
  return static_cast<int>((randState >> 16) & 0x7FFF);
}

}  // namespace platform
