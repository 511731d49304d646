// The artist cache as it grows: an artist search through the library's export whose result page
// lists 50 artists starting with "S" that the cache does not know, against a cache folder whose
// S.ARTISTCACHE holds 0, 1 000, 10 000 or 100 000 sections. The run with 0 sections is the
// baseline: the goals are ratios to it (new names written, the library kept loaded as a host
// keeps it: at most 1.5x at 10 000 and 3x at 100 000; the same search again, nothing new: at
// most 1.2x at 10 000). Beside them: the first search of a process (the file parsed afresh),
// the cache's own lookups (a similar lookup that finds nothing: 1 ms at 10 000, 10 ms at
// 100 000; an exact hit: 50 us at 100 000), and a whole `tunewell artist` process with its peak
// memory (counter peak_rss_mb; goal 40 MB at 100 000).
//
// The page comes from tests/servers/search_page_server.py on 127.0.0.1, reached through the
// plug-in's proxy setting. TUNEWELL_BENCH_PLUGIN names another build of the plug-in to measure
// (an older one, for before-and-after figures from the same benchmark).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/file.h"
#include "search/artist_url_cache.h"
#include "servers/search_page_server.h"
#include "support/fake_host.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tunewell/plugin_interface.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPageNames = 50;
const std::string kSearchName = "Sqqxvzzyq";

WString Widen(const std::string& text) { return WString(text.begin(), text.end()); }
std::string Narrow(const WString& text) { return std::string(text.begin(), text.end()); }

std::string Word(std::mt19937& rng, bool capital) {
  static const char vowels[] = "aeiou";
  static const char consonants[] = "bcdfghklmnprstvwz";
  std::string word;
  for (int k = 2 + static_cast<int>(rng() % 3); k > 0; --k) {
    word += consonants[rng() % (sizeof consonants - 1)];
    word += vowels[rng() % (sizeof vowels - 1)];
  }
  if (capital) word[0] = static_cast<char>(word[0] - 32);
  return word;
}

// Band-like names starting with "S"; the tag keeps the page's names apart from the file's.
std::string BandName(std::mt19937& rng, const std::string& tag) {
  std::string name = "S" + Word(rng, false) + tag;
  for (int words = static_cast<int>(rng() % 3); words > 0; --words) name += " " + Word(rng, true);
  return name;
}

std::string PluginPath() {
  const char* other = std::getenv("TUNEWELL_BENCH_PLUGIN");
  return other != nullptr && *other != 0 ? other : TUNEWELL_PLUGIN_PATH;
}

// The loaded plug-in, the page server, and a cache folder per size, made once for all runs.
class World {
 public:
  World() {
    library_ = ::dlopen(PluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) Fail(::dlerror());
    factory_ = reinterpret_cast<Factory>(::dlsym(library_, "GetDllInterface"));
    if (factory_ == nullptr) Fail("no GetDllInterface");
    host_.httpProxy = server_.Proxy();
    host_.maxMatchDifference = 1.0f;
    const std::unique_ptr<CLyricsDllInterface> probe(factory_());
    if (!probe->GetProperty(u"SourceName", &sourceName_) ||
        !probe->GetProperty(u"SourceId", &sourceId_)) {
      Fail("no source name or id");
    }
    server_.Serve(SearchTarget(kSearchName), Page(kSearchName));
  }
  ~World() {
    plugins_.clear();
    if (library_ != nullptr) ::dlclose(library_);
  }

  struct Cache {
    std::string root;      // the "LocalCacheFolder"
    std::string file;      // its S.ARTISTCACHE
    std::string pristine;  // the file as made, without the page's names
    std::vector<WString> names;
  };

  // The cache folder of that many sections, its file restored to the pristine state.
  const Cache& Restored(int sections) {
    Cache& cache = caches_[sections];
    if (cache.root.empty()) Make(sections, cache);
    std::error_code ignored;
    fs::remove(cache.file, ignored);
    if (sections > 0) fs::copy_file(cache.pristine, cache.file);
    return cache;
  }

  // A plug-in object using the cache folder of that many sections.
  CLyricsDllInterface& Plugin(int sections) {
    std::unique_ptr<CLyricsDllInterface>& plugin = plugins_[sections];
    if (!plugin) {
      plugin.reset(factory_());
      plugin->SetHostCallback(&host_);
      const WString root = platform::PathFromNative(caches_.at(sections).root);
      if (!plugin->SetProperty(u"LocalCacheFolder", &root)) Fail("LocalCacheFolder refused");
    }
    return *plugin;
  }

  CArtistUrlCache MakeCache(int sections) const {
    return CArtistUrlCache(platform::PathFromNative(caches_.at(sections).root), sourceName_,
                           sourceId_);
  }

  const std::string& Proxy() const { return proxy_ = Narrow(server_.Proxy()); }

  // A search name no other call uses, its result page listing 50 names never seen before.
  std::string FreshSearch() {
    const std::string name = kSearchName + std::to_string(++searches_);
    server_.Serve(SearchTarget(name), Page(name));
    return name;
  }

 private:
  using Factory = CLyricsDllInterface* (*)();

  [[noreturn]] static void Fail(const std::string& why) {
    std::fprintf(stderr, "artist_cache_scale_bench: %s\n", why.c_str());
    std::exit(2);
  }

  static std::string SearchTarget(const std::string& name) {
    return "/search.php?search=" + name + "&category=artist";
  }

  // 50 band names starting with "S", made from the search name so each page has its own.
  static std::string Page(const std::string& searchName) {
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>{}(searchName)));
    std::string page = "<html><body><h2>Artists</h2>\r\n";
    for (int i = 0; i < kPageNames; ++i) {
      page += "<div><h3><a href=\"/artist/" + searchName + "-" + std::to_string(i) +
              ".html\">" + BandName(rng, "q") + "</a></h3></div>\r\n";
    }
    return page + "</body></html>";
  }

  void Make(int sections, Cache& cache) {
    cache.root = folders_.path() + "/" + std::to_string(sections);
    const fs::path folder = fs::path(cache.root) / Narrow(sourceName_) / Narrow(sourceId_);
    fs::create_directories(folder);
    cache.file = (folder / "S.ARTISTCACHE").string();
    cache.pristine = folders_.path() + "/pristine-" + std::to_string(sections);
    std::mt19937 rng(7);
    std::ofstream out(cache.pristine, std::ios::binary);
    for (int i = 0; i < sections; ++i) {
      const std::string name = BandName(rng, "");
      out << "[" << name << "]\r\nArtistUrl=lyrics.tunewell.test/artist/" << i << ".html\r\n";
      cache.names.push_back(Widen(name));
    }
  }

  testing_support::TempDir folders_;
  test_servers::SearchPageServer server_;
  testing_support::FakeHostCallback host_;
  void* library_ = nullptr;
  Factory factory_ = nullptr;
  WString sourceName_;
  WString sourceId_;
  std::map<int, Cache> caches_;
  std::map<int, std::unique_ptr<CLyricsDllInterface>> plugins_;
  mutable std::string proxy_;
  int searches_ = 0;
};

World& TheWorld() {
  static World world;
  return world;
}

void Search(benchmark::State& state, CLyricsDllInterface& plugin, const std::string& name) {
  WString url;
  // No page name is close to the search name: the answer is 0 once all 50 are written.
  if (plugin.FindArtist(Widen(name), url) != 0) state.SkipWithError("unexpected hit");
}

// A host that keeps the library loaded: every search lists 50 names the cache has not seen.
void BM_SearchWritingNewNames(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  World& world = TheWorld();
  world.Restored(sections);
  CLyricsDllInterface& plugin = world.Plugin(sections);
  for (auto _ : state) {
    state.PauseTiming();
    const std::string name = world.FreshSearch();
    state.ResumeTiming();
    Search(state, plugin, name);
  }
}

// The first search of a process: the file on disk is new to it, read and parsed afresh.
void BM_FirstSearchOfAProcess(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  World& world = TheWorld();
  for (auto _ : state) {
    state.PauseTiming();
    world.Restored(sections);
    CLyricsDllInterface& plugin = world.Plugin(sections);
    state.ResumeTiming();
    Search(state, plugin, kSearchName);
  }
}

// The same search again: every name on the page is in the file already.
void BM_SearchNothingNew(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  World& world = TheWorld();
  world.Restored(sections);
  CLyricsDllInterface& plugin = world.Plugin(sections);
  Search(state, plugin, kSearchName);
  for (auto _ : state) Search(state, plugin, kSearchName);
}

void BM_SimilarLookupFindingNothing(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  World& world = TheWorld();
  world.Restored(sections);
  CArtistUrlCache cache = world.MakeCache(sections);
  WString url;
  for (auto _ : state) {
    if (cache.ReadArtistUrl(u"Sqqq Xxxx Yyyy", url, 1.0f) != 0) state.SkipWithError("hit");
  }
}

void BM_ExactHit(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  World& world = TheWorld();
  const WString name = world.Restored(sections).names[static_cast<std::size_t>(sections / 2)];
  CArtistUrlCache cache = world.MakeCache(sections);
  WString url;
  for (auto _ : state) {
    if (cache.ReadArtistUrl(name, url, 1.0f) != 1) state.SkipWithError("no hit");
  }
}

// One whole `tunewell artist` process against the pristine cache, as a person runs it: its
// time, and its peak resident set. Both are read by a small Python parent (the time is the
// child's own, without the parent's start), since a child forked from this large process would
// report this process's peak as its own.
void BM_TunewellProcess(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  World& world = TheWorld();
  const std::string root = world.Restored(sections).root;
  const std::vector<std::string> command = {
      "/usr/bin/python3", "-c",
      "import resource, subprocess, sys, time; t = time.monotonic(); "
      "subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL); "
      "t = time.monotonic() - t; "
      "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, t)",
      TUNEWELL_HOST_PATH, "--plugin", PluginPath(), "--cache-dir", root, "--proxy",
      world.Proxy(), "artist", kSearchName};
  long peakKb = 0;
  for (auto _ : state) {
    world.Restored(sections);
    testing_support::Process python;
    long kb = 0;
    double seconds = 0;
    if (!python.Start(command) ||
        std::sscanf(python.Wait().out.c_str(), "%ld %lf", &kb, &seconds) != 2) {
      state.SkipWithError("no figure");
    }
    state.SetIterationTime(seconds);
    peakKb = std::max(peakKb, kb);
  }
  state.counters["peak_rss_mb"] = static_cast<double>(peakKb) / 1024.0;
}

constexpr int kSizes[] = {0, 1000, 10000, 100000};

void Sizes(benchmark::internal::Benchmark* bench) {
  for (const int size : kSizes) bench->Arg(size);
  bench->Unit(benchmark::kMillisecond);
}

// An empty file has nothing to hit.
void FilledSizes(benchmark::internal::Benchmark* bench) {
  for (const int size : kSizes) {
    if (size > 0) bench->Arg(size);
  }
  bench->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_SearchWritingNewNames)->Apply(Sizes);
BENCHMARK(BM_SearchNothingNew)->Apply(Sizes);
BENCHMARK(BM_FirstSearchOfAProcess)->Apply(Sizes);
BENCHMARK(BM_SimilarLookupFindingNothing)->Apply(Sizes);
BENCHMARK(BM_ExactHit)->Apply(FilledSizes);
BENCHMARK(BM_TunewellProcess)->Apply(Sizes)->Iterations(5)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
