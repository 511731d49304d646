#include "engine/search_report.h"

#include <cstdio>

#include "output/json_writer.h"
#include "output/text_output.h"

namespace host {
namespace {

std::string SongLine(const FoundSong& song) {
  return OneLineField(song.title) + "\t" + OneLineField(song.url) + "\n";
}

void WriteSong(JsonWriter& json, const FoundSong& song) {
  json.BeginObject()
      .FieldOrNull("title", song.title)
      .FieldOrNull("artist", song.artist)
      .FieldOrNull("url", song.url)
      .FieldOrNull("source_name", song.sourceName)
      .FieldOrNull("source_id", song.sourceId)
      .EndObject();
}

std::string QueryText(const SearchReport& report) {
  std::string text;
  for (const auto& [name, value] : report.query) {
    text += (text.empty() ? "" : " - ") + value;
  }
  return text;
}

// What the command was looking for, for the miss message.
std::string_view SoughtThing(const std::string& command) {
  if (command == "artist") return "no artist page found for ";
  if (command == "songs") return "no songs found for ";
  if (command == "song") return "no song found for ";
  return "no lyrics found for ";
}

// An en dash: a plain hyphen may be part of either name.
std::string MatchedAs(const SongNames& names) {
  return "matched as " + names.artist + " \xE2\x80\x93 " + names.title;
}

// "normalised: accents, brackets or dash".
std::string LevelAndDifferences(const MatchReport& match) {
  std::string text = match.level;
  for (std::size_t i = 0; i < match.differences.size(); ++i) {
    text += (i == 0 ? ": " : ", ") + match.differences[i];
  }
  return text;
}

bool NamesNoLyrics(const SearchReport& report) {
  return report.match && report.match->level == "no lyrics";
}

}  // namespace

std::string RenderText(const SearchReport& report, bool raw) {
  if (report.outcome != Outcome::Found) return {};
  std::string out;
  if (report.artistUrl) out += OneLineField(*report.artistUrl) + "\n";
  if (report.song && !report.lyrics) out += SongLine(*report.song);
  for (const FoundSong& song : report.songs) out += SongLine(song);
  if (report.lyrics) out += LyricsForOutput(*report.lyrics, raw) + "\n";
  return out;
}

std::string RenderMiss(const SearchReport& report, double timeoutSeconds) {
  char buffer[64];
  switch (report.outcome) {
    case Outcome::Found:
      return {};
    case Outcome::NotFound:
      if (NamesNoLyrics(report)) {
        return "tunewell: " + QueryText(report) + " names a recording without words (an "
               "instrumental, a karaoke or backing track): nothing to fetch\n";
      }
      return "tunewell: " + std::string(SoughtThing(report.command)) + QueryText(report) + "\n";
    case Outcome::Doubtful:
      return "tunewell: only a doubtful match for " + QueryText(report) + MatchNote(report.match) +
             "; --accept doubtful takes it\n";
    case Outcome::DownloadFailed:
      std::snprintf(buffer, sizeof buffer, "%d of %d downloads failed",
                    report.statistics.attempted - report.statistics.successful,
                    report.statistics.attempted);
      return "tunewell: " + std::string(buffer) + " and nothing was found for " +
             QueryText(report) + TroubleNote(report.trouble) + "\n";
    case Outcome::Interrupted:
      return "tunewell: interrupted\n";
    case Outcome::TimedOut:
      std::snprintf(buffer, sizeof buffer, "%g", timeoutSeconds);
      return "tunewell: timed out after " + std::string(buffer) + " s\n";
  }
  return {};
}

std::string RenderJson(const SearchReport& report, bool raw) {
  JsonWriter json;
  json.BeginObject().Field("command", report.command);
  json.Key("query").BeginObject();
  for (const auto& [name, value] : report.query) json.Field(name, value);
  json.EndObject();
  json.Field("status", OutcomeName(report.outcome))
      .Field("found", report.outcome == Outcome::Found)
      .FieldOrNull("reason", report.trouble.what);
  if (report.command == "artist") json.FieldOrNull("artist_url", report.artistUrl.value_or(""));
  if (report.command == "song" || report.command == "get") {
    json.Key("song");
    if (report.song) {
      WriteSong(json, *report.song);
    } else {
      json.Null();
    }
  }
  if (report.command == "songs") {
    json.Key("songs").BeginArray();
    for (const FoundSong& song : report.songs) WriteSong(json, song);
    json.EndArray();
  }
  if (report.command == "get" || report.command == "lyrics") {
    json.FieldOrNull("lyrics", report.lyrics ? LyricsForOutput(*report.lyrics, raw) : "");
  }
  if (report.command == "get" || report.command == "song") {
    WriteMatchedAs(json, report.matchedAs);
    WriteMatch(json, report.match);
  }
  WriteStatistics(json, report.statistics);
  json.EndObject();
  return json.Text() + "\n";
}

std::string MatchedAsNote(const std::optional<SongNames>& matchedAs) {
  return matchedAs ? " (" + MatchedAs(*matchedAs) + ")" : std::string();
}

std::string MatchNote(const std::optional<MatchReport>& match) {
  if (!match || match->level == "no lyrics") return {};
  return " (" + MatchedAs(match->foundAs) + ", " + LevelAndDifferences(*match) + ")";
}

std::string RenderMatchedAs(const SearchReport& report) {
  if (report.outcome != Outcome::Found || !report.match || report.match->level == "exact") {
    return {};
  }
  return "tunewell: " + MatchNote(report.match).substr(2, std::string::npos) + "\n";
}

std::string DoubtfulCount(int doubtful) {
  return doubtful > 0 ? ", doubtful " + std::to_string(doubtful) : std::string();
}

void WriteMatch(JsonWriter& json, const std::optional<MatchReport>& match) {
  json.Key("match");
  if (!match) {
    json.Null();
    return;
  }
  json.BeginObject().Field("level", match->level).Key("differences").BeginArray();
  for (const std::string& difference : match->differences) json.String(difference);
  json.EndArray()
      .Field("artist", match->foundAs.artist)
      .Field("title", match->foundAs.title)
      .EndObject();
}

void WriteMatchedAs(JsonWriter& json, const std::optional<SongNames>& matchedAs) {
  json.Key("matched_as");
  if (!matchedAs) {
    json.Null();
    return;
  }
  json.BeginObject()
      .Field("artist", matchedAs->artist)
      .Field("title", matchedAs->title)
      .EndObject();
}

void WriteStatistics(JsonWriter& json, const DownloadStatistics& statistics) {
  json.Key("statistics")
      .BeginObject()
      .Field("downloads", statistics.attempted)
      .Field("successful", statistics.successful)
      .Field("milliseconds", statistics.milliseconds)
      .EndObject();
}

std::string RenderStatistics(const DownloadStatistics& statistics) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "tunewell: downloads: %d attempted, %d successful, %d ms\n",
                statistics.attempted, statistics.successful, statistics.milliseconds);
  return buffer;
}

}  // namespace host
