// Runs one search command against a configured plug-in object: artist (FindArtist), songs
// (FindArtistSongList), song (FindSong), lyrics (GetLyrics) and get (FindSong, then GetLyrics
// on the entry found). No plug-in call is started once the user has cancelled. The outcome
// comes from the plug-in's results, the CancelSwitch and the download statistics gathered
// during the command. Runs on the thread that drives the plug-in.
#pragma once

#include <string>
#include <vector>

#include "engine/search_report.h"
#include "session/plugin_session.h"

namespace host {

// The command's arguments as the user gave them (UTF-8). An unknown command yields a report
// with the outcome NotFound and no plug-in call; the command line parser never lets one by.
SearchReport RunSearch(PluginSession& session, const std::string& command,
                       const std::vector<std::string>& arguments);

}  // namespace host
