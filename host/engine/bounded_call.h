// Makes --timeout a hard limit on a call into the plug-in. The plug-in stops at its next look at
// QueryCancel, but a download may hold it longer than the user allowed: WinHTTP's waits cannot
// be cut short, so a silent server keeps a Windows request until WinHTTP's own time-out. Under a
// --timeout each call runs on a thread of its own; when it has not returned a second after the
// deadline, the host goes on without it (as timed out), never calls the plug-in again, and ends
// the process through EndProcess, with what it has printed, the plug-in still loaded.
// Without a --timeout the call runs on the caller's thread. The caller's thread only.
#pragma once

#include <functional>

namespace host {

enum class CallEnd { Returned, Abandoned };

// Runs call (which must own what it touches: an abandoned call goes on running). An exception
// it throws is thrown here.
CallEnd CallWithinDeadline(std::function<void()> call);

// Whether a call was abandoned in this process.
bool CallAbandoned();

// main's way out: the status itself, or, after an abandoned call, the process ends here with
// it (the streams flushed, nothing unloaded while the call may still run).
int EndProcess(int status);

}  // namespace host
