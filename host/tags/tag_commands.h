// tag and show: the music files' lyrics, stored through the plug-in's searches and shown.
// Called once from main on the main thread, after the CancelSwitch is installed.
#pragma once

#include "engine/options.h"

namespace host {

// tag: exit status as for get --batch, and 4 when a file or folder met a local problem (a
// failed download outranks it); 2 when a PATH does not exist or is not a music file.
int RunTagCommand(const Options& options);
// show: 0 when every file holds lyrics, 1 otherwise.
int RunShowCommand(const Options& options);

}  // namespace host
