// Where the host finds things: its own folder, the plug-in, the default cache folder, and the
// bundled site's folder for `demo` and `site`. Everything is looked for relative to the running
// binary, so an installed tree (bin/, lib/tunewell/, share/tunewell/site/) works wherever it is
// put, and the build tree (the plug-in beside the binary, site/ a link to the source's site)
// works the same way; no path of the source tree is compiled in.
// Pure lookups (environment, file existence); any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace host {

// The folder of the running executable, with a trailing separator; empty if unknown.
// (Backends: os/posix/, os/windows/.)
std::string ExecutableFolder();
// Where the plug-in may be for a binary in exeFolder, in the order looked at: beside it (the
// build tree), then ../lib/tunewell/ (an installed tree on POSIX). (Platform backend.)
std::vector<std::string> PluginCandidates(const std::string& exeFolder);
// The cache folder when the command line names none: DefaultCacheFolder of the environment on
// POSIX, %LOCALAPPDATA%\tunewell on Windows; none when neither is known. (Platform backend.)
std::optional<std::string> UserCacheFolder();
// Where the bundled site may be for a binary in exeFolder, in the order looked at:
// $TUNEWELL_SITE_DIR alone when siteDirVariable is set and not empty, else site/ beside the
// binary (the build tree), then ../share/tunewell/site (an installed tree).
std::vector<std::string> SiteCandidates(const std::string& exeFolder, const char* siteDirVariable);
// $XDG_CACHE_HOME/tunewell when that is an absolute path, else $HOME/.cache/tunewell; none when
// neither is set.
std::optional<std::string> DefaultCacheFolder(const char* xdgCacheHome, const char* home);
// The folder of the host's private records (the tag journal): $XDG_STATE_HOME/tunewell when
// that is an absolute path, else $HOME/.local/state/tunewell; none when neither is set.
// `anchor` receives the folder that must already exist ($XDG_STATE_HOME, or $HOME): a missing
// home is never made.
std::optional<std::string> DefaultStateFolder(const char* xdgStateHome, const char* home,
                                              std::string& anchor);
// The config file: $XDG_CONFIG_HOME/tunewell/config when that is an absolute path, else
// $HOME/.config/tunewell/config; none when neither is set.
std::optional<std::string> DefaultConfigFile(const char* xdgConfigHome, const char* home);
// The config file of this user: DefaultConfigFile of the environment on POSIX,
// %APPDATA%\tunewell\config on Windows. (Platform backend.)
std::optional<std::string> UserConfigFile();
// The folder holding server.py. False with a message naming the places looked at.
bool FindSiteFolder(std::string& folder, std::string& error);

}  // namespace host
