// The search commands: info, get, song, songs, artist, lyrics, and get --batch. Each opens a
// session, runs, prints to stdout (text or one JSON document) and messages to stderr, closes
// the session, and returns the exit status. Called once from main on the main thread, after the
// CancelSwitch is installed.
#pragma once

#include "engine/options.h"

namespace host {

int RunInfoCommand(const Options& options);
// get, song, songs, artist, lyrics: 0 found, 1 not found or stopped, 3 a download failed.
int RunSearchCommand(const Options& options);
// get --batch: the run's exit status (engine/outcome.h RunExitStatus).
int RunBatchCommand(const Options& options);

}  // namespace host
