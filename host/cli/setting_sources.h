// Settings that need not be typed at every run: a config file (`key = value` lines, LF or CR LF;
// `#` starts a comment, at the start of a line or after a blank behind a value; the keys are
// those of cli/option_table.h: proxy, delay, max_difference, retries; a key given twice: the last
// line wins) and, for the proxy, the environment's TUNEWELL_PROXY. The command line wins over
// both, TUNEWELL_PROXY over the file. Every value is checked as the command line's option would
// be, by every command alike; a setting the command does not take (delay for info) is then left
// unused. Pure functions over texts; any thread.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

namespace host {

// Fills the settings the command line left unset. `configText` is the config file's content
// (empty when there is none), `configName` its path for messages; `environmentProxy` the value
// of TUNEWELL_PROXY or null. `origins` receives one line per setting in effect saying where it
// came from ("proxy 127.0.0.1:8642 (TUNEWELL_PROXY)"), for --verbose. False with a message
// ("FILE:3: ...") for a line or value that cannot be used.
bool ApplySettingSources(Options& options, const std::string& configText,
                         const std::string& configName, const char* environmentProxy,
                         std::vector<std::string>& origins, std::string& error);

// ApplySettingSources with this user's config file (os/default_paths.h; none is fine) and
// TUNEWELL_PROXY; with --verbose, the origins on stderr. False with a message.
bool ApplyUserSettings(Options& options, std::string& error);

}  // namespace host
