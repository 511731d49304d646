// CArtistUrlCache lookups on one cache file of 10 000 artists. Goals: an exact hit within
// 50 us, a similar lookup that finds nothing (every section scanned) within 20 ms. Baselines
// in the same run: the file existence check every lookup makes (the floor of any lookup), and
// listing the section names alone (the part of a similar lookup that is not distance).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/file.h"
#include "search/artist_url_cache.h"

namespace {

constexpr int kSections = 10000;

// A cache folder holding A.ARTISTCACHE with kSections artists whose names look like band
// names ("Amber Coast", "Arlo Vintner And The Mills"), written once for all benchmarks.
class CacheOnDisk {
 public:
  CacheOnDisk() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tunewell-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    const std::filesystem::path folder = std::filesystem::path(root_) / "Tunewell" / "bench";
    std::filesystem::create_directories(folder);
    path_ = (folder / "A.ARTISTCACHE").string();
    std::mt19937 rng(7);
    std::ofstream out(path_, std::ios::binary);
    for (int i = 0; i < kSections; ++i) {
      const std::string name = MakeName(rng);
      out << "[" << name << "]\r\nArtistUrl=lyrics.tunewell.test/a/" << i << ".html\r\n";
      names_.push_back(WString(name.begin(), name.end()));
    }
  }
  ~CacheOnDisk() { std::filesystem::remove_all(root_); }

  WString Root() const { return platform::PathFromNative(root_); }
  WString Path() const { return platform::PathFromNative(path_); }
  const WString& Name(int i) const { return names_[i]; }

 private:
  static std::string MakeWord(std::mt19937& rng, bool capital) {
    static const char vowels[] = "aeiou";
    static const char consonants[] = "bcdfghklmnprstvwz";
    std::uniform_int_distribution<int> length(2, 4);
    std::string word;
    for (int k = length(rng); k > 0; --k) {
      word += consonants[rng() % (sizeof consonants - 1)];
      word += vowels[rng() % (sizeof vowels - 1)];
    }
    if (capital) word[0] = static_cast<char>(word[0] - 32);
    return word;
  }
  static std::string MakeName(std::mt19937& rng) {
    std::string name = "A" + MakeWord(rng, false);
    for (int words = static_cast<int>(rng() % 3); words > 0; --words) {
      name += " " + MakeWord(rng, true);
    }
    return name;
  }

  std::string root_;
  std::string path_;
  std::vector<WString> names_;
};

CacheOnDisk& Disk() {
  static CacheOnDisk disk;
  return disk;
}

void BM_Baseline_FileExists(benchmark::State& state) {
  const WString path = Disk().Path();
  for (auto _ : state) benchmark::DoNotOptimize(platform::File::Exists(path));
}

void BM_Baseline_ReadSectionNames(benchmark::State& state) {
  const WString path = Disk().Path();
  std::vector<WString> names;
  for (auto _ : state) {
    CArtistUrlCache::ReadSectionNames(path, names);
    benchmark::DoNotOptimize(names.data());
  }
  if (names.size() != kSections) state.SkipWithError("wrong section count");
}

void BM_ExactHit(benchmark::State& state) {
  CArtistUrlCache cache(Disk().Root(), u"Tunewell", u"bench");
  const WString& name = Disk().Name(kSections / 2);
  WString url;
  for (auto _ : state) {
    if (cache.ReadArtistUrl(name, url, 1.0f) != 1) state.SkipWithError("no hit");
  }
}

void BM_SimilarMiss(benchmark::State& state) {
  CArtistUrlCache cache(Disk().Root(), u"Tunewell", u"bench");
  const WString name = u"Aqqqxxx Yyyyzzz";
  WString url;
  for (auto _ : state) {
    if (cache.ReadArtistUrl(name, url, 1.0f) != 0) state.SkipWithError("unexpected hit");
  }
}

BENCHMARK(BM_Baseline_FileExists);
BENCHMARK(BM_ExactHit);
BENCHMARK(BM_Baseline_ReadSectionNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimilarMiss)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
