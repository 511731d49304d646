#include "searches/batch_runner.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "output/json_writer.h"
#include "output/text_output.h"
#include "session/cancel_switch.h"
#include "searches/safe_file_name.h"
#include "engine/search_report.h"
#include "engine/search_runner.h"
#include "engine/site_pacer.h"
#include "os/utf.h"

namespace host {
namespace {

// A file name not yet used in this batch: two lines for one song must not overwrite each
// other, while a second run of the same batch overwrites the first run's files.
std::string UnusedFileName(const BatchSong& song, std::set<std::string>& used) {
  std::string name = LyricsFileName(song.artist, song.title);
  for (int n = 2; used.count(name) != 0; ++n) {
    name = LyricsFileName(song.artist, song.title, " (" + std::to_string(n) + ")");
  }
  used.insert(name);
  return name;
}

bool WriteTextFile(const std::filesystem::path& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) error = "cannot write " + Utf8FromPath(path);
  return static_cast<bool>(out);
}

void Count(BatchResult& result, Outcome outcome) {
  switch (outcome) {
    case Outcome::Found:
      ++result.found;
      break;
    case Outcome::NotFound:
      ++result.notFound;
      break;
    case Outcome::Doubtful:
      ++result.doubtful;
      break;
    case Outcome::DownloadFailed:
      ++result.failed;
      break;
    case Outcome::Interrupted:
    case Outcome::TimedOut:
      break;  // not done: the run ends here
  }
}

BatchSongResult RunOne(PluginSession& session, SitePacer& pacer, const BatchSong& song,
                       const BatchSettings& settings, std::set<std::string>& used) {
  BatchSongResult one{song, Outcome::NotFound, {}, {}, {}, {}, {}};
  const SearchReport report = pacer.Search(session, song, settings.run.match);
  one.outcome = report.outcome;
  if (report.song) one.url = report.song->url;
  one.matchedAs = report.matchedAs;
  one.match = report.match;
  if (report.outcome == Outcome::DownloadFailed) one.error = "download failed" + TroubleNote(report.trouble);
  if (report.outcome != Outcome::Found) return one;
  const std::string name = UnusedFileName(song, used);
  const std::string text = LyricsForOutput(*report.lyrics, settings.raw) + "\n";
  if (WriteTextFile(PathFromUtf8(settings.outDir) / PathFromUtf8(name), text, one.error)) {
    one.file = name;
  } else {
    one.outcome = Outcome::DownloadFailed;  // counted as failed: the lyrics are not on disk
  }
  return one;
}

std::string Label(const BatchSong& song) { return song.artist + " - " + song.title; }

}  // namespace

int BatchResult::ExitStatus() const {
  return RunExitStatus(end.Cancelled(), failed, 0, notFound + doubtful);
}

bool RunBatch(PluginSession& session, const std::vector<BatchSong>& songs,
              const BatchSettings& settings, BatchResult& result, std::string& error) {
  if (!MakeFolders(settings.outDir, error)) return false;
  result = BatchResult{};
  result.total = static_cast<int>(songs.size());
  std::set<std::string> used;
  result.end = RunItems(
      session, settings.run, songs.size(), [&](std::size_t i) { return Label(songs[i]); },
      [&](std::size_t i, SitePacer& pacer) {
        StepEnd end{{}, Label(songs[i])};
        if (!pacer.WaitBeforeSearch()) {
          end.stoppedBy = CancelOutcome();  // cancelled before its search: no line of its own
          return end;
        }
        BatchSongResult one = RunOne(session, pacer, songs[i], settings, used);
        Count(result, one.outcome);
        end.status = one.error.empty() ? std::string(OutcomeName(one.outcome)) : one.error;
        end.label += MatchNote(one.match);
        end.problem = one.outcome != Outcome::Found;
        if (one.outcome == Outcome::Interrupted || one.outcome == Outcome::TimedOut) {
          end.stoppedBy = one.outcome;
        }
        if (settings.keepSongs) result.songs.push_back(std::move(one));
        return end;
      });
  return true;
}

std::string RenderBatchSummary(const BatchResult& result) {
  std::string text = "found " + std::to_string(result.found) + ", not found " +
                     std::to_string(result.notFound) + DoubtfulCount(result.doubtful) +
                     ", failed " + std::to_string(result.failed);
  return text + StoppedNote(result.end.stoppedBy, result.end.gaveUp, result.NotDone()) + "\n";
}

std::string RenderBatchJson(const BatchResult& result, const BatchSettings& settings) {
  JsonWriter json;
  json.BeginObject()
      .Field("command", "get")
      .PathField("batch", settings.batchFile)
      .PathField("out", settings.outDir);
  json.Key("songs").BeginArray();
  for (const BatchSongResult& one : result.songs) {
    json.BeginObject()
        .Field("line", one.song.line)
        .Field("artist", one.song.artist)
        .Field("title", one.song.title)
        .Field("status", OutcomeName(one.outcome))
        .FieldOrNull("url", one.url)
        .FieldOrNull("file", one.file)
        .FieldOrNull("error", one.error);
    WriteMatchedAs(json, one.matchedAs);
    WriteMatch(json, one.match);
    json.EndObject();
  }
  json.EndArray();
  json.Key("summary")
      .BeginObject()
      .Field("total", result.total)
      .Field("found", result.found)
      .Field("not_found", result.notFound)
      .Field("doubtful", result.doubtful)
      .Field("failed", result.failed);
  WriteRunEnd(json, result.end, result.NotDone());
  json.EndObject();
  WriteStatistics(json, result.end.statistics);
  json.EndObject();
  return json.Text() + "\n";
}

}  // namespace host
