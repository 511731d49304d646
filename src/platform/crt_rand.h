// The Microsoft C runtime's rand/srand: a per-thread linear congruential generator
// (state = state * 214013 + 2531011; result = (state >> 16) & 0x7FFF, 0..32767). A thread
// that never seeds starts as if seeded with 1.
#pragma once

#include <cstdint>

namespace platform {

void CrtSrand(std::uint32_t seed);
int CrtRand();

}  // namespace platform
