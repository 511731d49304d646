#include "platform/crt_rand.h"

#include <stdlib.h>

namespace platform {

// The C runtime's own generator; its state is per thread, as the system relies on.
void CrtSrand(std::uint32_t seed) { ::srand(seed); }
int CrtRand() { return ::rand(); }

}  // namespace platform
