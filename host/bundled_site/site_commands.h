// site and demo: the bundled local lyrics site, run in the foreground, or started for one
// song's fetch through it. Called once from main on the main thread.
#pragma once

#include "engine/options.h"

namespace host {

// site: 0 when Ctrl-C stops it; 1 when --timeout ends it, its port is in use, or it stops by
// itself; 2 when the site cannot be found or run.
int RunSiteCommand(const Options& options);
// demo: as get, and 2 when the site cannot be found or run.
int RunDemoCommand(const Options& options);

}  // namespace host
