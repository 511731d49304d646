// Running untrusted parsing where its failure costs one file, not the run: the work runs in a
// child process under limits on memory and time, and hands back one string over a pipe. A
// crash, a runaway allocation or recursion, or a hang ends the child alone. The child is a
// copy of this process (fork): it must not touch the plug-in or print; it returns its result
// and ends without running exit handlers. Backend in os/posix/ (the Windows build has no tag
// work to isolate). One call at a time per thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host {

struct IsolationLimits {
  std::uint64_t memoryBytes = 0;  // address space the work may add; 0: no limit
  int seconds = 0;                // wall-clock time; 0: no limit
};

enum class IsolatedEnd {
  Returned,      // the work ran to its end; `result` holds what it returned
  Died,          // it crashed or was killed (a limit reached counts here)
  TimedOut,      // it ran past its time and was stopped
  NotStarted,    // no child process could be made
};

IsolatedEnd RunIsolated(const IsolationLimits& limits, const std::function<std::string()>& work,
                        std::string& result);

// Several texts as one string and back, for a result of more than one field.
std::string PackFields(const std::vector<std::string>& fields);
// False when the string is not a packing of `count` fields.
bool UnpackFields(const std::string& packed, std::size_t count, std::vector<std::string>& fields);

}  // namespace host
