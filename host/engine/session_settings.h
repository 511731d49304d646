// The session settings the options ask for, with the defaults resolved: the plug-in beside the
// binary, the XDG cache folder (none with --no-cache, or when no home is known). Reads the
// environment; any thread.
#pragma once

#include "engine/options.h"
#include "session/plugin_session.h"

namespace host {

SessionSettings SessionSettingsFrom(const Options& options);

}  // namespace host
