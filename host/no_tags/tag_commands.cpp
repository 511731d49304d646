// tag, show and review in a build without TagLib (the Windows one), which leaves out tags/ and
// review/ and takes this folder in their place: each only says that it is not in this build.
#include "no_tags/tag_commands.h"

#include <cstdio>

#include "engine/outcome.h"

namespace host {
namespace {

int NotInThisBuild(const Options& options) {
  std::fprintf(stderr, "tunewell: %s is not in this build of tunewell (it has no TagLib)\n",
               options.command.c_str());
  return kExitUsage;
}

}  // namespace

int RunTagCommand(const Options& options) { return NotInThisBuild(options); }

int RunShowCommand(const Options& options) { return NotInThisBuild(options); }

int RunReviewCommand(const Options& options) { return NotInThisBuild(options); }

}  // namespace host
