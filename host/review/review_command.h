// `tunewell review PATH...` (and `tag --review`): the run of `tag --dry-run`, paced and
// cancellable, with a local page to look at it and decide in: a server on 127.0.0.1 at a free
// port (review/review_server.h), its address printed on stderr (and opened in the desktop's
// browser with --open). The page lists every file as the run comes to it; the person accepts,
// skips or searches again with other names, and writes the accepted lyrics through the same
// store as tag; Finish in the page, Ctrl-C or --timeout ends it, and the summary (or --json)
// is tag's. Called once from main on the main thread, after the CancelSwitch is installed.
#pragma once

#include "engine/options.h"

namespace host {

// Exit status as for tag.
int RunReviewCommand(const Options& options);

}  // namespace host
