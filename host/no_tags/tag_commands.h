// tag and show in a build without TagLib (the Windows one): both only say that they are not in
// this build (exit status 2). The command table hides them from the help of such a build.
#pragma once

#include "engine/options.h"

namespace host {

int RunTagCommand(const Options& options);
int RunShowCommand(const Options& options);

}  // namespace host
