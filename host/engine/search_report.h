// The result of one search command (get, song, songs, artist, lyrics) and its two renderings:
// the text the user reads (records on stdout, the reason for a miss on stderr) and one JSON
// document that carries the same facts. The report holds UTF-8 text as the plug-in gave it
// (lyrics with CR LF); the renderings apply --raw. Plain data; any thread.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "matching/song_names.h"
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

// How the song found matched the names asked for (matching/match_judge.h): its level, what
// differed, and the names the site gives it.
struct MatchReport {
  std::string level;                     // "exact", "normalised", "variant", "doubtful", ...
  std::vector<std::string> differences;  // "accents", "brackets or dash", ...
  SongNames foundAs;                     // the artist as searched, the title as the site has it
};

struct SearchReport {
  std::string command;
  std::vector<std::pair<std::string, std::string>> query;  // e.g. {"artist", "..."}
  Outcome outcome = Outcome::NotFound;
  std::optional<std::string> artistUrl;  // artist
  std::optional<FoundSong> song;         // song, get
  std::vector<FoundSong> songs;          // songs
  std::optional<std::string> lyrics;     // get, lyrics
  // get, song: the names of the song matched when they differ from those asked for; empty when
  // the query matched as given.
  std::optional<SongNames> matchedAs;
  std::optional<MatchReport> match;  // get, song: how the song matched; none when none did
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
// " (matched as ARTIST – TITLE, LEVEL: DIFFERENCES)", for the line of every song matched;
// empty when none matched.
std::string MatchNote(const std::optional<MatchReport>& match);
// The line for stderr that tells the same of a single get or song found by other than an
// exact match; else empty.
std::string RenderMatchedAs(const SearchReport& report);
// ", doubtful N" for a run's summary line when some were; else empty.
std::string DoubtfulCount(int doubtful);
// The "match" member: null, or the level, what differed, and the names matched.
void WriteMatch(JsonWriter& json, const std::optional<MatchReport>& match);
// The "matched_as" member: null, or the artist and title searched.
void WriteMatchedAs(JsonWriter& json, const std::optional<SongNames>& matchedAs);
// The --stats line for stderr.
std::string RenderStatistics(const DownloadStatistics& statistics);
// The "statistics" member that closes every JSON report (search, batch, tag).
void WriteStatistics(JsonWriter& json, const DownloadStatistics& statistics);

}  // namespace host
