// The host's own work per file in `tunewell tag` (read the tags, then store the lyrics: the
// journal entry, the copy beside the file, TagLib's write there, the read-back, the flushed
// copy exchanged with the file) against a plain copy of the same file (read, write a new file beside it, flush),
// on a 10 MB MP3 and a 30 MB FLAC made once by lame and flac from sox's noise. The ratio of
// the two times is the figure to read: the site's answers, not this, should bound a run. The
// read and the store run in a worker process; BM_WorkerRequest is that alone.
// Needs sox, lame and flac (the test encoders); the files are kept in the build folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tags/store/isolated_worker.h"
#include "tags/store/lyrics_store.h"

namespace {

namespace fs = std::filesystem;

const char* const kLyrics =
    "I carried the salty chimney up to the harbour wall\nDon't you turn me at midnight\n"
    "Every pocket I remembered was quiet\nEvery suitcase I counted was faded\n\n"
    "Oh, Shining Home\nSing me Shining Home all summer long";

struct Sample {
  const char* name;
  host::AudioFormat format;
  const char* make;  // shell command, run in the sample folder
};

// Noise hardly compresses, so the seconds give the size: 262 s at 320 kbit/s is 10 MB of MP3;
// 320 s of 16-bit stereo noise at half volume is about 30 MB of FLAC.
const Sample kSamples[] = {
    {"noise.mp3", host::AudioFormat::Mp3,
     "sox -n -r 44100 -c 2 -b 16 mp3.wav synth 262 whitenoise vol 0.5 && "
     "lame --quiet -b 320 --ta Kestrel --tt Rain mp3.wav noise.mp3 && rm mp3.wav"},
    {"noise.flac", host::AudioFormat::Flac,
     "sox -n -r 44100 -c 2 -b 16 flac.wav synth 320 whitenoise vol 0.5 && "
     "flac -s -T ARTIST=Kestrel -T TITLE=Rain -o noise.flac flac.wav && rm flac.wav"},
    // 600 s of 16-bit stereo at 44.1 kHz: about 100 MB, for the peak memory against size.
    {"noise.wav", host::AudioFormat::Wav,
     "sox -n -r 44100 -c 2 -b 16 noise.wav synth 600 whitenoise vol 0.5"},
};

std::string SamplePath(const Sample& sample) {
  const fs::path folder = fs::current_path() / "tag_bench_files";
  fs::create_directories(folder);
  const fs::path path = folder / sample.name;
  if (!fs::exists(path)) {
    const std::string command = "cd '" + folder.string() + "' && " + sample.make;
    if (std::system(command.c_str()) != 0) return {};
  }
  return path.string();
}

// The run's private journal (tags/store/posix/run_journal.h), kept beside the samples.
const host::RunJournal& Journal() {
  static host::RunJournal journal;
  if (!journal.IsOpen()) {
    const fs::path state = fs::current_path() / "tag_bench_files";
    fs::create_directories(state);
    std::string error;
    journal.Open((state / "journal").string(), state.string(), error);
  }
  return journal;
}

bool TagOnce(const std::string& path, host::AudioFormat format, std::string& error) {
  host::FileTags tags;
  const host::FileLocation where = host::LocationOfNamedFile(path);
  return host::ReadFileTags(where, format, tags, error) == host::TagsEnd::Done &&
         host::StoreLyrics(Journal(), where, format, kLyrics, tags.identity, true, "eng",
                           error) == host::TagsEnd::Done;
}

void BM_TagFile(benchmark::State& state) {
  const Sample& sample = kSamples[state.range(0)];
  const std::string path = SamplePath(sample);
  if (path.empty()) return state.SkipWithError("cannot make the sample (sox, lame, flac?)");
  for (auto _ : state) {
    std::string error;
    if (!TagOnce(path, sample.format, error)) return state.SkipWithError(error.c_str());
  }
  state.SetLabel(std::to_string(fs::file_size(path) >> 20) + " MB " + sample.name);
}

void BM_PlainCopy(benchmark::State& state) {
  const Sample& sample = kSamples[state.range(0)];
  const std::string path = SamplePath(sample);
  if (path.empty()) return state.SkipWithError("cannot make the sample (sox, lame, flac?)");
  const std::string copy = path + ".copy";
  for (auto _ : state) {
    std::string bytes(fs::file_size(path), '\0');
    std::ifstream(path, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const int fd = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        fsync(fd) != 0) {
      if (fd >= 0) close(fd);
      return state.SkipWithError("cannot copy");
    }
    close(fd);
  }
  fs::remove(copy);
  state.SetLabel(std::to_string(fs::file_size(path) >> 20) + " MB " + sample.name);
}

// The fixed price of parsing in the worker process (tags/store/isolated_worker.h): one request and
// its answer over the socket, paid twice per tagged file (the read and the store), against
// BM_TagFile's whole work; and the price of a new worker, paid once per run and once after
// each file that kills one.
void BM_WorkerRequest(benchmark::State& state) {
  host::IsolatedWorker worker([](const std::string& request, std::vector<int>&) { return request; });
  for (auto _ : state) {
    std::string answer;
    if (worker.Call("tags", {}, {64ull << 20, 10, nullptr}, answer) != host::IsolatedEnd::Returned) {
      return state.SkipWithError("the worker did not answer");
    }
  }
}

void BM_WorkerStart(benchmark::State& state) {
  for (auto _ : state) {
    host::IsolatedWorker worker([](const std::string& request, std::vector<int>&) { return request; });
    std::string answer;
    if (worker.Call("tags", {}, {64ull << 20, 10, nullptr}, answer) != host::IsolatedEnd::Returned) {
      return state.SkipWithError("the worker did not answer");
    }
  }
}

// The most memory that tagging the file takes, in a process made for it (its worker's peak
// included): it must not grow with the file's size. Measured in a fresh process each time, as a
// process's record of its children's peak only ever grows.
void BM_TagFilePeakMemory(benchmark::State& state) {
  const Sample& sample = kSamples[state.range(0)];
  const std::string path = SamplePath(sample);
  if (path.empty()) return state.SkipWithError("cannot make the sample (sox, lame, flac?)");
  long peakKb = 0;
  for (auto _ : state) {
    int report[2];
    if (pipe(report) != 0) return state.SkipWithError("no pipe");
    std::fflush(nullptr);
    const pid_t measurer = fork();
    if (measurer == 0) {
      const pid_t tagger = fork();
      if (tagger == 0) {
        std::string error;
        const bool ok = TagOnce(path, sample.format, error);
        std::exit(ok ? 0 : 1);  // exit, not _exit: the worker is waited for on the way out
      }
      int status = 0;
      waitpid(tagger, &status, 0);
      rusage usage{};
      getrusage(RUSAGE_CHILDREN, &usage);
      const long kb = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
      _exit(write(report[1], &kb, sizeof kb) == sizeof kb ? 0 : 1);
    }
    close(report[1]);
    if (read(report[0], &peakKb, sizeof peakKb) != sizeof peakKb) peakKb = -1;
    close(report[0]);
    waitpid(measurer, nullptr, 0);
    if (peakKb < 0) return state.SkipWithError("tagging failed");
  }
  state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024;
  state.counters["file_MB"] = static_cast<double>(fs::file_size(path) >> 20);
}

BENCHMARK(BM_TagFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TagFilePeakMemory)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkerRequest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WorkerStart)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
