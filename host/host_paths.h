// Where the host finds things: its own folder, the default cache folder, and the bundled
// site's folder for `demo` and `site`. The site is looked for, in order, in $TUNEWELL_SITE_DIR,
// beside the binary (site/), in ../share/tunewell/site of an installed tree, and in the source
// tree the binary was built from, so that a build tree needs nothing installed.
// Pure lookups (environment, file existence); any thread.
#pragma once

#include <optional>
#include <string>

namespace host {

// The folder of the running executable, with a trailing "/"; empty if unknown.
std::string ExecutableFolder();
// $XDG_CACHE_HOME/tunewell when that is an absolute path, else $HOME/.cache/tunewell; none when
// neither is set.
std::optional<std::string> DefaultCacheFolder(const char* xdgCacheHome, const char* home);
// The folder holding server.py. False with a message naming the places looked at.
bool FindSiteFolder(std::string& folder, std::string& error);

}  // namespace host
