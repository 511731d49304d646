// tag, show and review in a build without TagLib (the Windows one): each only says that it is
// not in this build (exit status 2). The command table hides them from the help of such a build.
#pragma once

#include "engine/options.h"

namespace host {

int RunTagCommand(const Options& options);
int RunShowCommand(const Options& options);
int RunReviewCommand(const Options& options);

}  // namespace host
