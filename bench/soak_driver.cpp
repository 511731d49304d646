// The soak run's plug-in side (bench/soak starts it): one loaded library, one plug-in object,
// FindSong + GetLyrics pairs over the bundled site's songs with no delay, as long as asked.
// At each checkpoint it prints one line: pairs done, requests per second so far, the
// process's resident memory and its open descriptors.
//
// Usage: soak_driver PLUGIN PROXY PAIRS CHECKPOINT...
#include <dirent.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "support/corpus.h"
#include "support/fake_host.h"
#include "tunewell/plugin_interface.h"

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

int OpenDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (readdir(dir) != nullptr) ++count;
  closedir(dir);
  return count - 3;  // ".", ".." and the listing's own descriptor
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: soak_driver PLUGIN PROXY PAIRS CHECKPOINT...\n");
    return 2;
  }
  void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "soak_driver: %s\n", dlerror());
    return 1;
  }
  const auto factory =
      reinterpret_cast<CLyricsDllInterface* (*)()>(dlsym(handle, "GetDllInterface"));
  const long pairs = std::atol(argv[3]);
  std::set<long> checkpoints;
  for (int i = 4; i < argc; ++i) checkpoints.insert(std::atol(argv[i]));

  std::vector<testing_support::CorpusSong> songs;
  for (const auto& song : testing_support::LoadCorpus().songs) {
    if (song.lyricsResult == 1) songs.push_back(song);
  }
  if (songs.empty()) {
    std::fprintf(stderr, "soak_driver: no songs in the corpus\n");
    return 1;
  }
  testing_support::FakeHostCallback host;
  host.httpProxy = testing_support::Widen(argv[2]);
  CLyricsDllInterface* plugin = factory();
  plugin->SetHostCallback(&host);

  long failures = 0;
  long requests = 0;
  const auto start = std::chrono::steady_clock::now();
  for (long done = 1; done <= pairs; ++done) {
    const auto& song = songs[static_cast<std::size_t>(done) % songs.size()];
    testing_support::VectorSongList list;
    WString lyrics;
    ++requests;
    if (plugin->FindSong(testing_support::Widen(song.artist), testing_support::Widen(song.title),
                         &list, 0) == 1 &&
        list.GetCount() == 1) {
      ++requests;
      if (plugin->GetLyrics(list.entries[0].url, lyrics) != 1) ++failures;
    } else {
      ++failures;
    }
    host.calls.clear();  // the test host's call record is no part of what is measured
    if (checkpoints.count(done) != 0) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("plug-in  %6ld pairs  %7.1f requests/s  RSS %6ld KiB  descriptors %3d  failed %ld\n",
                  done, static_cast<double>(requests) / seconds, ResidentKiB(), OpenDescriptors(),
                  failures);
      std::fflush(stdout);
    }
  }
  delete plugin;
  dlclose(handle);
  return failures == 0 ? 0 : 1;
}
