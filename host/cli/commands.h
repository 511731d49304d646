// The commands of `tunewell`, each run from parsed options to an exit status: info, the
// searches (get, song, songs, artist, lyrics), get --batch, tag, show, site and demo. Results go to
// stdout (text or one JSON document), messages and --stats to stderr. Called once from main
// on the main thread, after the CancelSwitch is installed.
// Each is defined in the folder of its feature: info, the searches and get --batch in
// run/search_commands.cpp, site and demo in bundled_site/site_commands.cpp, tag and show in
// tags/tag_commands.cpp, or in no_tags/ for a build without TagLib.
#pragma once

#include "cli/options.h"
#include "session/plugin_session.h"

namespace host {

// The session settings the options ask for, with the defaults resolved: the plug-in beside
// the binary, the XDG cache folder (none with --no-cache, or when no home is known).
SessionSettings SessionSettingsFrom(const Options& options);

int RunInfoCommand(const Options& options);
int RunSearchCommand(const Options& options);
int RunBatchCommand(const Options& options);
// tag: exit status as for get --batch, and 4 when a file or folder met a local problem (a
// failed download outranks it); 2 when a PATH does not exist or is not a music file.
int RunTagCommand(const Options& options);
// show: 0 when every file holds lyrics, 1 otherwise.
int RunShowCommand(const Options& options);
int RunSiteCommand(const Options& options);
int RunDemoCommand(const Options& options);

}  // namespace host
