// The outcome of one search as the user sees it, and the exit status it gives: 0 found;
// 1 not found, interrupted (Ctrl-C) or timed out; 3 a download failed and nothing was found.
// (2, usage error or unusable plug-in, never comes from a search.) Pure functions; any thread.
#pragma once

#include <string_view>

#include "session/plugin_session.h"

namespace host {

enum class Outcome { Found, NotFound, DownloadFailed, Interrupted, TimedOut };

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDownloadFailed = 3;

int ExitStatusFor(Outcome outcome);
// "found", "not found", "download failed", "interrupted", "timed out".
std::string_view OutcomeName(Outcome outcome);

// The exit status of a run over many songs (get --batch, tag): 1 when cancelled; else 3 when
// any song failed; else 1 when any was not found; else 0.
int RunExitStatus(bool cancelled, int failed, int notFound);

// What a finished plug-in call amounts to: found wins; then a cancellation (read from the
// CancelSwitch); then a failed download, when the statistics gathered during the call show
// fewer successes than attempts; else not found.
Outcome Classify(bool found, const DownloadStatistics& before, const DownloadStatistics& after);

}  // namespace host
