// The random browser identification that every download sends as its User-Agent, so that
// successive requests do not all carry one fixed text. Both functions use the calling thread's
// runtime generator (platform::CrtRand), reseeded from the high-resolution counter at every
// RandomBelow call; nothing else is shared, so any thread may call them. Neither fails.
#pragma once

#include <cstdint>

#include "tunewell/wstring.h"

namespace http {

// Reseeds the generator from the high-resolution counter (its bits mixed, so that draws a few
// ticks apart do not follow each other) and draws once: the draw modulo n when n is above 0,
// otherwise the raw draw (0..32767). Two calls within one counter tick return the same value.
std::int32_t RandomBelow(std::int32_t n);

// "Mozilla/4.0 (compatible;" with a random browser and system version, an optional "; en-US",
// a random run of optional tokens in fixed order, and ")". A token at position i (0..10) is
// present with probability (i + 1) / 22.
WString MakeUserAgent();

}  // namespace http
