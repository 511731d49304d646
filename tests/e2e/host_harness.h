// What the end-to-end tests of the `tunewell` host share: running the host as a child process
// with its output captured (support/process.h), the bundled lyrics site started on a free
// port, the site's corpus (the answers the tests compare against), and reading facts out of a
// JSON document with python3's own parser.
// The Windows tests run under Wine: their children are Windows programs (tunewell.exe), while
// the site and python3 are Linux programs started through the servers' bridge.
// Each test owns the processes it starts; destructors stop them. One thread per test.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "servers/server_process.h"
#include "support/corpus.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

using RunResult = testing_support::ProcessResult;
// A child process with stdout and stderr captured; stdin the null device.
using ChildProcess = testing_support::Process;

// Runs the real `tunewell` binary to its end.
inline RunResult RunHost(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {TUNEWELL_HOST_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child;
  if (!child.Start(argv)) return {};
  return child.Wait();
}

// The bundled lyrics site on a free port of 127.0.0.1, answering for the build's site host.
class BundledSite {
 public:
  // delayMs: every answer held back that long; logFile: one JSON line per request; port: the
  // one to listen on (0: any free one); failEvery: the 1st, N+1st, ... request answered with
  // failStatus.
  explicit BundledSite(int delayMs = 0, const std::string& logFile = "", int port = 0,
                       int failEvery = 0, int failStatus = 503) {
    std::vector<std::string> argv = {"python3",     TUNEWELL_SOURCE_DIR "/site/server.py",
                                     "--port",      std::to_string(port),
                                     "--host-name", TUNEWELL_SITE_HOST_NAME};
    if (delayMs > 0) argv.insert(argv.end(), {"--delay-ms", std::to_string(delayMs)});
    if (!logFile.empty()) argv.insert(argv.end(), {"--log", logFile});
    if (failEvery > 0) {
      argv.insert(argv.end(), {"--fail-every", std::to_string(failEvery), "--fail-status",
                               std::to_string(failStatus)});
    }
#ifdef _WIN32
    try {
      process_ = std::make_unique<test_servers::ChildProcess>(argv);
    } catch (const std::exception&) {
      return;
    }
    const std::string line = process_->ReadLine();
#else
    if (!process_.Start(argv)) return;
    process_.WaitForStdout("\n", std::chrono::seconds(20));
    const std::string line = process_.SoFar().out;
#endif
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
  }

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  // The answer to "HttpProxy" that routes the plug-in here.
  std::string proxy() const { return "127.0.0.1:" + std::to_string(port_); }
  void Stop() {
#ifdef _WIN32
    process_.reset();  // the bridge ends the site, and waits for it, when the test lets it go
#else
    process_.Signal(SIGTERM);
    process_.Wait();
#endif
    port_ = 0;
  }

 private:
#ifdef _WIN32
  std::unique_ptr<test_servers::ChildProcess> process_;
#else
  ChildProcess process_;
#endif
  int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens: "HttpProxy" pointed there makes every download
// fail.
inline std::string ClosedProxy() {
  BundledSite site;
  const std::string proxy = site.proxy();
  site.Stop();
  return proxy;
}

using testing_support::Corpus;
using testing_support::CorpusArtist;
using testing_support::CorpusSong;
using testing_support::LoadCorpus;

// The value of a Python expression over the JSON document `d`, printed with str(): for
// example JsonFact(out, "d['song']['title']"). "<invalid JSON: ...>" when it does not parse, and
// "<not the schema: ...>" when it breaks host/output/tunewell.schema.json.
inline std::string JsonFact(const std::string& json, const std::string& expression) {
  const testing_support::TempDir dir;
  std::ofstream(dir.File("document.json"), std::ios::binary) << json;
  test_servers::ChildProcess python({"/usr/bin/python3",
                                     TUNEWELL_SOURCE_DIR "/tests/e2e/json_fact.py",
                                     dir.File("document.json"), dir.File("answer.txt"),
                                     expression});
  if (python.ReadLine() != "done") return "<python failed on: " + expression + ">";
  return testing_support::ReadFileBytes(dir.File("answer.txt"));
}

// The text with each CR LF turned into LF.
inline std::string Lf(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace e2e
