#include "searches/batch_runner.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "output/json_writer.h"
#include "output/text_output.h"
#include "session/cancel_switch.h"
#include "engine/progress_display.h"
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
    case Outcome::DownloadFailed:
      ++result.failed;
      break;
    case Outcome::Interrupted:
    case Outcome::TimedOut:
      result.stoppedBy = outcome;
      break;
  }
}

BatchSongResult RunOne(PluginSession& session, SitePacer& pacer, const BatchSong& song,
                       const BatchSettings& settings, std::set<std::string>& used) {
  BatchSongResult one{song, Outcome::NotFound, {}, {}, {}, {}};
  const SearchReport report = pacer.Search(session, song.artist, song.title);
  one.outcome = report.outcome;
  if (report.song) one.url = report.song->url;
  one.matchedAs = report.matchedAs;
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
  return RunExitStatus(stoppedBy != Outcome::Found, failed, 0, notFound);
}

bool RunBatch(PluginSession& session, const std::vector<BatchSong>& songs,
              const BatchSettings& settings, BatchResult& result, std::string& error) {
  if (!MakeFolders(settings.outDir, error)) return false;
  result = BatchResult{};
  result.total = static_cast<int>(songs.size());
  ProgressDisplay progress(settings.progress, settings.progressIsTerminal, result.total, 0,
                           settings.quiet);
  std::set<std::string> used;
  SitePacer pacer(settings.delayMs, settings.retries);
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const bool waited = pacer.WaitBeforeSearch();
    if (!waited || CancelSwitch::Cancelled()) {
      Count(result, Classify(false, {}, {}));
      break;
    }
    progress.Started(static_cast<int>(i), Label(songs[i]));
    BatchSongResult one = RunOne(session, pacer, songs[i], settings, used);
    Count(result, one.outcome);
    const std::string status =
        one.error.empty() ? std::string(OutcomeName(one.outcome)) : one.error;
    progress.Finished(static_cast<int>(i), status, Label(songs[i]) + MatchedAsNote(one.matchedAs),
                      one.outcome != Outcome::Found);
    const bool stopped = one.outcome == Outcome::Interrupted || one.outcome == Outcome::TimedOut;
    if (settings.keepSongs) result.songs.push_back(std::move(one));
    if (stopped) break;
    if (pacer.GaveUp()) {
      result.gaveUp = true;
      break;
    }
  }
  progress.Close();
  if (result.gaveUp) std::fputs(GaveUpMessage(pacer).c_str(), settings.progress);
  result.statistics = session.Statistics();
  return true;
}

std::string RenderBatchSummary(const BatchResult& result) {
  std::string text = "found " + std::to_string(result.found) + ", not found " +
                     std::to_string(result.notFound) + ", failed " + std::to_string(result.failed);
  return text + StoppedNote(result.stoppedBy, result.gaveUp, result.NotDone()) + "\n";
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
    json.EndObject();
  }
  json.EndArray();
  json.Key("summary")
      .BeginObject()
      .Field("total", result.total)
      .Field("found", result.found)
      .Field("not_found", result.notFound)
      .Field("failed", result.failed)
      .Field("not_done", result.NotDone())
      .FieldOrNull("stopped", StoppedReason(result.stoppedBy, result.gaveUp))
      .EndObject();
  WriteStatistics(json, result.statistics);
  json.EndObject();
  return json.Text() + "\n";
}

}  // namespace host
