#include "http/user_agent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "platform/crt_rand.h"

namespace {

std::string Narrow(const WString& text) {
  std::string out;
  for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// The grammar of a generated identification; group i + 2 is the token at position i.
const std::regex& Grammar() {
  static const std::string n = "(?:0|[1-9][0-9]{0,4})";
  static const std::regex grammar(
      "Mozilla/4\\.0 \\(compatible; MSIE [678]\\.0; Windows NT (?:5\\.1|6\\.0|6\\.1)"
      "(; en-US)?"
      "(; Trident/4\\.0)?"
      "(; SV1)?"
      "(; YPC 3\\.[0-2]\\.[0-9])?"
      "(; GTB[0-5]\\.[0-9])?"
      "(; \\.NET CLR 1\\.0\\." + n + ")?"
      "(; \\.NET CLR 1\\.1\\." + n + ")?"
      "(; \\.NET CLR 2\\.0\\." + n + ")?"
      "(; \\.NET CLR 3\\.0\\." + n + "\\." + n + ")?"
      "(; \\.NET CLR 3\\.5\\." + n + "\\." + n + ")?"
      "(; yie8)?"
      "(; yplus 5\\.[0-2]\\.(?:[0-9]|[12][0-9]))?"
      "\\)");
  return grammar;
}

TEST(MakeUserAgent, EveryDrawFollowsTheGrammarAndTokensHaveTheirFrequency) {
  constexpr int kDraws = 20000;
  int tokens[11] = {};
  int language = 0;
  for (int i = 0; i < kDraws; ++i) {
    std::string agent = Narrow(http::MakeUserAgent());
    std::smatch match;
    ASSERT_TRUE(std::regex_match(agent, match, Grammar())) << agent;
    language += match[1].matched;
    for (int position = 0; position < 11; ++position) tokens[position] += match[position + 2].matched;
  }
  // Each presence is a Bernoulli draw; five standard deviations keep a correct generator from
  // failing (about one run in two million per token) while a wrong chain start or gate, which
  // shifts a frequency by at least 1/22 (over 12 deviations here), cannot pass.
  auto tolerance = [](double p) { return 5 * std::sqrt(p * (1 - p) / kDraws); };
  EXPECT_NEAR(language / double(kDraws), 0.5, tolerance(0.5));
  for (int position = 0; position < 11; ++position) {
    double expected = (position + 1) / 22.0;
    EXPECT_NEAR(tokens[position] / double(kDraws), expected, tolerance(expected))
        << "token at position " << position;
  }
}

TEST(MakeUserAgent, ShortestFormHasNoLanguageNorToken) {
  // The shortest form must also be reachable: the grammar alone would accept it anyway.
  bool seen = false;
  const std::regex shortest("Mozilla/4\\.0 \\(compatible; MSIE [678]\\.0; Windows NT [56]\\.[01]\\)");
  for (int i = 0; i < 20000 && !seen; ++i)
    seen = std::regex_match(Narrow(http::MakeUserAgent()), shortest);
  EXPECT_TRUE(seen);
}

TEST(RandomBelow, StaysBelowItsBoundOrGivesTheRawDraw) {
  struct Case {
    int n, low, high;
  };
  const Case cases[] = {{1, 0, 0}, {2, 0, 1}, {11, 0, 10}, {0, 0, 32767}, {-5, 0, 32767}};
  for (const auto& c : cases) {
    for (int i = 0; i < 1000; ++i) {
      int r = http::RandomBelow(c.n);
      ASSERT_GE(r, c.low) << c.n;
      ASSERT_LE(r, c.high) << c.n;
    }
  }
}

TEST(RandomBelow, ReseedsTheRuntimeGeneratorOfTheThread) {
  // Whatever the thread seeded before, the next plain draw continues RandomBelow's sequence,
  // not the earlier one.
  platform::CrtSrand(1234);
  int expectedWithoutReseed = 0;
  {
    platform::CrtSrand(1234);
    platform::CrtRand();
    expectedWithoutReseed = platform::CrtRand();
  }
  int differing = 0;
  for (int i = 0; i < 20; ++i) {
    platform::CrtSrand(1234);
    http::RandomBelow(0);
    differing += platform::CrtRand() != expectedWithoutReseed;
  }
  EXPECT_GT(differing, 15);
}

}  // namespace
