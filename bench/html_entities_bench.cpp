// DecodeHtmlEntities' one-scan passes against the literal procedure (one find-and-replace-all
// per table entry; a search from the start after every decimal replacement) on the same texts,
// in one run: the ratios are the figures to read. Goals: the named pass at least 20 times
// faster on a lyrics-sized text, and the decimal pass growing linearly where the literal one
// grows with the number of distinct references times the length.
#include <benchmark/benchmark.h>

#include <set>
#include <string>

#include "text/html_entities.h"
#include "support/html_entities_reference.h"

namespace {

// About `length` units of lyrics-like text with a named reference every few words and a
// decimal reference (of growing value, so every one is a distinct written form) now and then.
WString MakeText(std::size_t length) {
  static const char16_t* const kWords[] = {u"Rock ", u"&amp; ", u"roll ", u"caf&eacute; ",
                                           u"don&#39;t ", u"&quot;stop&quot; ", u"line<br> "};
  WString text;
  for (std::size_t i = 0; text.size() < length; ++i) {
    text += kWords[i % std::size(kWords)];
    if (i % 9 == 0) {
      const std::string number = std::to_string(200 + i % 5000);
      text += u"&#" + WString(number.begin(), number.end()) + u"; ";
    }
  }
  return text;
}

void BM_NamedOneScan(benchmark::State& state) {
  const WString text = MakeText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    WString copy = text;
    text::DecodeNamedReferences(copy);
    benchmark::DoNotOptimize(copy);
  }
}

void BM_NamedLiteral(benchmark::State& state) {
  const WString text = MakeText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    WString copy = text;
    html_entities_reference::NamedPass(copy);
    benchmark::DoNotOptimize(copy);
  }
}

void BM_DecimalOneScan(benchmark::State& state) {
  const WString text = MakeText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    WString copy = text;
    text::DecodeDecimalReferences(copy);
    benchmark::DoNotOptimize(copy);
  }
}

void BM_DecimalLiteral(benchmark::State& state) {
  const WString text = MakeText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    WString copy = text;
    std::set<WString> bad;
    html_entities_reference::DecimalPass(copy, bad);
    benchmark::DoNotOptimize(copy);
  }
}

BENCHMARK(BM_NamedOneScan)->Arg(4000)->Arg(64000);
BENCHMARK(BM_NamedLiteral)->Arg(4000)->Arg(64000);
BENCHMARK(BM_DecimalOneScan)->Arg(4000)->Arg(64000);
BENCHMARK(BM_DecimalLiteral)->Arg(4000)->Arg(64000);

}  // namespace

BENCHMARK_MAIN();
