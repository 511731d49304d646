// The settings the options ask for, with the defaults resolved: for the session, the plug-in
// beside the binary, the XDG cache folder (none with --no-cache, or when no home is known); for
// a run over many items, the pacing and where progress goes. Reads the environment; any thread.
#pragma once

#include "engine/options.h"
#include "engine/run_loop.h"
#include "session/plugin_session.h"

namespace host {

SessionSettings SessionSettingsFrom(const Options& options);
// What a search takes as a match: the user's threshold and --accept; `lyrics` for get.
MatchPolicy MatchPolicyFrom(const Options& options, bool lyrics);
// The pacing, matching and progress of a run over many items (get --batch, tag): on stderr.
RunSettings RunSettingsFrom(const Options& options);

}  // namespace host
