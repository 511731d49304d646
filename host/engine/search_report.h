// The result of one search command (get, song, songs, artist, lyrics) and its two renderings:
// the text the user reads (records on stdout, the reason for a miss on stderr) and one JSON
// document that carries the same facts. The report holds UTF-8 text as the plug-in gave it
// (lyrics with CR LF); the renderings apply --raw. Plain data; any thread.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/name_variants.h"
#include "engine/outcome.h"
#include "session/plugin_session.h"

namespace host {

class JsonWriter;

struct FoundSong {
  std::string title;
  std::string artist;
  std::string url;
  std::string sourceName;
  std::string sourceId;
};

struct SearchReport {
  std::string command;
  std::vector<std::pair<std::string, std::string>> query;  // e.g. {"artist", "..."}
  Outcome outcome = Outcome::NotFound;
  std::optional<std::string> artistUrl;  // artist
  std::optional<FoundSong> song;         // song, get
  std::vector<FoundSong> songs;          // songs
  std::optional<std::string> lyrics;     // get, lyrics
  // get: the names that found the song page when the names asked for found none
  // (engine/name_variants.h); empty when the query matched as given.
  std::optional<SongNames> matchedAs;
  DownloadStatistics statistics;
  DownloadTrouble trouble;  // why, when the outcome is DownloadFailed
};

// What goes to stdout in text mode: the found records, each line ended by LF. Empty when
// nothing was found.
std::string RenderText(const SearchReport& report, bool raw);
// Why nothing was printed, for stderr (one line, LF-terminated); empty when found.
std::string RenderMiss(const SearchReport& report, double timeoutSeconds);
// One JSON document, LF-terminated.
std::string RenderJson(const SearchReport& report, bool raw);
// " (matched as ARTIST – TITLE)", for the line of a song found under other names; else empty.
std::string MatchedAsNote(const std::optional<SongNames>& matchedAs);
// The line for stderr that tells the same of a single get; empty when matched as given.
std::string RenderMatchedAs(const SearchReport& report);
// The "matched_as" member: null, or the artist and title searched.
void WriteMatchedAs(JsonWriter& json, const std::optional<SongNames>& matchedAs);
// The --stats line for stderr.
std::string RenderStatistics(const DownloadStatistics& statistics);
// The "statistics" member that closes every JSON report (search, batch, tag).
void WriteStatistics(JsonWriter& json, const DownloadStatistics& statistics);

}  // namespace host
