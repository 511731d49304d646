#include "http/user_agent.h"

#include "platform/clock.h"
#include "platform/crt_rand.h"
#include "encoding/wide_format.h"

namespace {

// An optional token: its format and how its numbers are drawn. With two numbers the first
// drawn (a) is printed second: the format's first %d is b.
struct Token {
  const char16_t* format;
  int numbers;             // 0, 1 or 2
  int modulusA;            // 0: the raw draw
  int modulusB;
  bool throughRandomBelow; // drawn with a reseed (RandomBelow) rather than a plain rand
};

constexpr Token kTokens[] = {
    {u"; Trident/4.0", 0, 0, 0, false},
    {u"; SV1", 0, 0, 0, false},
    {u"; YPC 3.%d.%d", 2, 10, 3, false},
    {u"; GTB%d.%d", 2, 10, 6, false},
    {u"; .NET CLR 1.0.%d", 1, 0, 0, false},
    {u"; .NET CLR 1.1.%d", 1, 0, 0, false},
    {u"; .NET CLR 2.0.%d", 1, 0, 0, false},
    {u"; .NET CLR 3.0.%d.%d", 2, 0, 0, false},
    {u"; .NET CLR 3.5.%d.%d", 2, 0, 0, false},
    {u"; yie8", 0, 0, 0, false},
    {u"; yplus 5.%d.%d", 2, 30, 3, true},
};

constexpr const char16_t* kBrowsers[] = {u" MSIE 6.0;", u" MSIE 7.0;", u" MSIE 8.0;"};
constexpr const char16_t* kSystems[] = {u" Windows NT 5.1", u" Windows NT 6.0",
                                        u" Windows NT 6.1"};

int Draw(int modulus, bool throughRandomBelow) {
  if (throughRandomBelow) return http::RandomBelow(modulus);
  int r = platform::CrtRand();
  return modulus > 0 ? r % modulus : r;
}

WString TokenText(const Token& token) {
  if (token.numbers == 0) return token.format;
  int a = Draw(token.modulusA, token.throughRandomBelow);
  if (token.numbers == 1) return encoding::Format(token.format, a);
  int b = Draw(token.modulusB, token.throughRandomBelow);
  return encoding::Format(token.format, b, a);
}

// The seed taken from a counter value. The runtime generator's first draw after a seed is
// nearly linear in the seed, and successive calls here come a few dozen nanosecond ticks apart
// at an almost fixed rhythm, so seeding with the raw counter makes the draws of one
// identification depend on each other: measured over 20 000 identifications, the later tokens
// came out at about half their (i + 1) / 22. Mixing the counter's bits (the SplitMix64
// finaliser) keeps "every call reseeds from the counter" and "one tick, one value", and gives
// back draws that behave as independent.
std::uint32_t SeedFromCounter(std::uint64_t counter) {
  counter = (counter ^ (counter >> 30)) * 0xBF58476D1CE4E5B9u;
  counter = (counter ^ (counter >> 27)) * 0x94D049BB133111EBu;
  return static_cast<std::uint32_t>(counter ^ (counter >> 31));
}

}  // namespace

std::int32_t http::RandomBelow(std::int32_t n) {
  platform::CrtSrand(SeedFromCounter(static_cast<std::uint64_t>(platform::QueryPerformanceCounter())));
  int r = platform::CrtRand();
  return n > 0 ? r % n : r;
}

WString http::MakeUserAgent() {
  WString agent = u"Mozilla/4.0 (compatible;";
  agent += kBrowsers[RandomBelow(3)];
  agent += kSystems[RandomBelow(3)];
  if (RandomBelow(2) != 0) agent += u"; en-US";
  constexpr int kPositions = sizeof kTokens / sizeof kTokens[0];
  for (int position = RandomBelow(kPositions); position < kPositions; ++position) {
    if (RandomBelow(2) != 0) agent += TokenText(kTokens[position]);
  }
  agent += u")";
  return agent;
}
