// The command line of `tunewell`: what the user asked for, parsed and checked before anything
// is loaded or downloaded. Parsing is pure (no environment, no files); the caller resolves
// defaults that depend on the environment (the cache folder, the plug-in path) afterwards.
// Single-threaded: called once from main.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/options.h"

namespace host {

// Parses argv[1..]. Options may stand before or after the command; "--" ends the options so
// that an artist or title may begin with "-". Both "--name VALUE" and "--name=VALUE" work.
// False with a message for the user on an unknown option, a missing or malformed value, a
// wrong number of arguments or options that do not go together.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// Sets one option from a value given elsewhere (the config file, the environment), checked as on
// the command line. False with the same message the command line would get.
bool ApplyOption(Options& options, std::string_view name, const std::string& value,
                 std::string& error);

}  // namespace host
