// Running untrusted parsing where its failure costs one file, not the run: a worker process,
// forked from this one, serves requests one at a time under a limit on memory, and answers
// each with one string over a socket. A crash, a runaway allocation or recursion ends the
// worker alone; a request that runs past its time has the worker killed. The next request
// starts a new one. The worker keeps none of this process's open files (their locks must end
// when this process closes them), ignores Ctrl-C (the run decides when to stop; a request
// under way is finished), prints nothing and ends without exit handlers.
//
// A bug that a hostile file reaches in the parser must not get the run's rights: the worker is
// handed the open files it works on with each request and opens nothing itself; it gains no
// privileges (no_new_privs), gives up root for an unprivileged user where it has it, lives
// under a filter of system calls that leaves it reading and writing what it was handed and
// talking to this process, under a CPU limit, and dies with this process. Backend in os/posix/
// (the Windows build has no tag work to isolate). One thread uses a worker.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

struct IsolationLimits {
  std::uint64_t memoryBytes = 0;  // address space one request may add; 0: no limit
  int seconds = 0;                // wall-clock time for one request; 0: no limit
  // Asked about every 100 ms while a request runs: true has the worker killed (the caller's
  // own hard limit, such as --timeout, has passed).
  std::function<bool()> stop;
};

enum class IsolatedEnd {
  Returned,    // the request was served; the answer is what `serve` returned
  Died,        // the worker crashed or was killed (a limit reached counts here)
  TimedOut,    // it ran past its time and was killed
  Stopped,     // `stop` said so, and it was killed
  NotStarted,  // no worker process could be made; the answer says why
};

class IsolatedWorker {
 public:
  // The worker's side: the request and the descriptors handed with it, which it owns and
  // closes.
  using Serve = std::function<std::string(const std::string& request, std::vector<int>& files)>;

  explicit IsolatedWorker(Serve serve);
  ~IsolatedWorker();  // the worker ends once its request is done
  IsolatedWorker(const IsolatedWorker&) = delete;
  IsolatedWorker& operator=(const IsolatedWorker&) = delete;

  // Serves the request in the worker, handing it copies of `files` (open descriptors; at most
  // kMaxHandedFiles). The answer is the worker's, or, when none could be started, the reason.
  IsolatedEnd Call(const std::string& request, const std::vector<int>& files,
                   const IsolationLimits& limits, std::string& answer);

  static constexpr std::size_t kMaxHandedFiles = 4;

 private:
  bool Start();
  void Stop(bool kill);

  struct Process;  // the running worker, when there is one
  Serve serve_;
  std::unique_ptr<Process> process_;
};

}  // namespace host
