// The lyrics clean-up (BreaksToLineEnds, then StripTags) against the literal procedures that
// search from the beginning of the text again after every change, on the same lyrics blocks,
// in one run: the ratio of the two times is the figure to read. Goal: no slower on a song's
// block (about 2 KB), and at least 20 times faster on a 256 KB block, which a page within the
// download limit can hold and where the literal procedures grow with the square of the size.
#include <benchmark/benchmark.h>

#include "search/artist_lookup.h"
#include "search/lyrics_extraction.h"
#include "support/lyrics_text_reference.h"

namespace {

// Lines as the site writes them: a break tag and a line end, now and then an empty line, a
// tag of emphasis and a blank run of line ends.
WString MakeBlock(std::size_t size) {
  static const WString lines[] = {
      u"I carried the salty chimney up to the harbour wall<br>\r\n",
      u"Don't you turn me at <i>midnight</i><br>\r\n",
      u"Every pocket I remembered was quiet<br />\n",
      u"<p>Every suitcase I counted was faded</p>\n\n",
      u"Oh, Shining Home<BR>Sing me Shining Home all summer long<br>\r\n\r\n",
  };
  WString block;
  for (std::size_t i = 0; block.size() < size; ++i) block += lines[i % std::size(lines)];
  return block;
}

void BM_OnePass(benchmark::State& state) {
  const WString block = MakeBlock(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    WString text = block;
    search::BreaksToLineEnds(text);
    search::StripTags(text);
    benchmark::DoNotOptimize(text.data());
  }
}

void BM_Literal(benchmark::State& state) {
  const WString block = MakeBlock(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    WString text = block;
    LiteralBreaksToLineEnds(text);
    LiteralStripTags(text);
    benchmark::DoNotOptimize(text.data());
  }
}

BENCHMARK(BM_OnePass)->Arg(2 << 10)->Arg(256 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Literal)->Arg(2 << 10)->Arg(256 << 10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
