// What the tag worker gives up before it parses a file (tags/store/isolated_worker.h): it dies with the
// process that started it, gets no more CPU than a run could need, gains no privileges, runs as
// an unprivileged user when it was root, and (outside the sanitizer builds, whose runtime
// needs more) lives under a filter that lets through only the system calls that work on
// descriptors it holds: reading, writing, seeking, sizing and flushing them, memory, time,
// signals to itself, and its socket. Opening a file, making a link, starting a program or a
// connection all fail. Called in the worker, after fork, once.
#pragma once

#include <sys/types.h>

namespace host {

// False when a step that must hold did not (the worker then ends at once). `underSanitizer`
// leaves the filter out.
bool ConfineWorker(pid_t host, bool underSanitizer);

// The user the worker becomes when it was root: "nobody".
constexpr uid_t kWorkerUser = 65534;
constexpr gid_t kWorkerGroup = 65534;

}  // namespace host
