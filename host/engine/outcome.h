// The outcome of one search as the user sees it, and the exit status it gives: 0 found;
// 1 not found, interrupted (Ctrl-C) or timed out; 3 a download failed and nothing was found.
// (2, usage error or unusable plug-in, never comes from a search; 4, a local problem, only from
// a run over files.) Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "session/plugin_session.h"

namespace host {

// Doubtful: the site has a song the names may mean, but not for certain (matching/match_judge.h):
// neither printed nor stored unless the user accepts doubtful matches.
enum class Outcome { Found, NotFound, Doubtful, DownloadFailed, Interrupted, TimedOut };

// Why a run over many songs gave up on the site (engine/site_pacer.h): it never answered (no
// connection, a wrong --proxy, no network), or it answered with refusals.
enum class SiteStop { None, NotReachable, Refused };

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDownloadFailed = 3;
// A file or folder of the run could not be read or written (tag): the machine's problem, not the
// site's, so that a scheduled run tells a stray file from a network failure.
constexpr int kExitLocalProblem = 4;

int ExitStatusFor(Outcome outcome);
// "found", "not found", "doubtful", "download failed", "interrupted", "timed out".
std::string_view OutcomeName(Outcome outcome);

// The exit status of a run over many songs (get --batch, tag): 1 when cancelled; else 3 when
// any download failed; else 4 when any file met a local problem; else 1 when any song was not
// found; else 0. A failed download outranks a local problem: the site (or the network) failing
// is the news a scheduled run must not hide behind one unreadable file, and the summary counts
// both.
int RunExitStatus(bool cancelled, int downloadFailed, int localProblems, int notFound);

// Why a run over many songs stopped early: "interrupted", "timed out", or when it gave up on
// the site "site not reachable" or "site refused"; empty when it did not stop.
std::string_view StoppedReason(Outcome stoppedBy, SiteStop gaveUp);

// The end of a run's summary line when it stopped early: "; interrupted, 12 not done", or
// "; site refused, 12 not done" when it gave up on the site; empty otherwise.
std::string StoppedNote(Outcome stoppedBy, SiteStop gaveUp, int notDone);

// What a finished plug-in call amounts to: found wins; then a cancellation (read from the
// CancelSwitch); then a failed download, when the statistics gathered during the call show
// fewer successes than attempts; else not found.
Outcome Classify(bool found, const DownloadStatistics& before, const DownloadStatistics& after);

}  // namespace host
