// Downloading a 2 MB body from a local server: DownloadUrl (the whole driver: downloader,
// streaming through the WinHTTP stand-in, decoding to wide text) and the downloader alone,
// against the curl command-line tool fetching the same URL, all in one run. The figure to
// read is "vs_curl" (our time over curl's), and the stricter "vs_curl_transfer" (over the
// transfer time curl reports for itself). Goal: at most 1.5.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "../tests/servers/server_process.h"
#include "http/download_url.h"
#include "http/http_downloader_base.h"

namespace {

constexpr int kBodyBytes = 2000000;

test_servers::FaultServer& Server() {
  static test_servers::FaultServer server;
  return server;
}

std::string BodyUrl() {
  return Server().Url("/body?letters=1&size=" + std::to_string(kBodyBytes));
}

double curlSeconds = 0;          // per download, the whole curl process (BM_CurlTool)
double curlTransferSeconds = 0;  // per download, curl's own time_total (BM_CurlTool)

// Times the loop on the wall clock: curl's work happens in a process of its own.
template <class Download>
double Measure(benchmark::State& state, Download download) {
  std::chrono::duration<double> total{};
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    download();
    total += std::chrono::steady_clock::now() - start;
  }
  return total.count() / static_cast<double>(state.iterations());
}

// Besides its wall time, curl reports the time of the transfer itself (time_total, without
// the start of the process), the stricter baseline.
void BM_CurlTool(benchmark::State& state) {
  const std::string url = BodyUrl();
  double transfer = 0;
  curlSeconds = Measure(state, [&] {
    test_servers::ChildProcess curl({"curl", "-s", "-o", "/dev/null", "-w", "%{time_total}\n", url});
    transfer += std::stod(curl.ReadLine());
  });
  curlTransferSeconds = transfer / static_cast<double>(state.iterations());
  state.counters["transfer_ms"] = curlTransferSeconds * 1000;
}

void ReportRatios(benchmark::State& state, double seconds) {
  if (curlSeconds > 0) state.counters["vs_curl"] = seconds / curlSeconds;
  if (curlTransferSeconds > 0) state.counters["vs_curl_transfer"] = seconds / curlTransferSeconds;
}

void BM_DownloadUrl(benchmark::State& state) {
  const std::string narrow = BodyUrl();
  const WString url(narrow.begin(), narrow.end());
  double seconds = Measure(state, [&] {
    WString text;
    if (http::DownloadUrl(url, text, u"", 28591, u"", u"") != 1 || text.size() != kBodyBytes) {
      state.SkipWithError("download failed");
    }
  });
  ReportRatios(state, seconds);
}

void BM_DownloaderOnly(benchmark::State& state) {
  const std::string url = BodyUrl();
  double seconds = Measure(state, [&] {
    CHttpDownloaderBase downloader("", u"");
    if (!downloader.Download(url) || downloader.m_body.size() != kBodyBytes) {
      state.SkipWithError("download failed");
    }
  });
  ReportRatios(state, seconds);
}

BENCHMARK(BM_CurlTool)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DownloadUrl)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DownloaderOnly)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
