// `get --batch FILE --out DIR`: looks up every song of a batch file with FindSong and
// GetLyrics, writes each lyrics text to DIR/ARTIST - TITLE.txt, waits between songs so as not
// to hammer the site, shows progress, and sums up: found, not found, failed. A cancellation
// (Ctrl-C, --timeout) stops the batch before the next song; the songs not tried are counted as
// not done. Uses the session it is given; runs on the thread that drives the plug-in.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "searches/batch_file.h"
#include "engine/outcome.h"
#include "engine/search_report.h"
#include "engine/run_loop.h"
#include "session/plugin_session.h"

namespace host {

struct BatchSettings {
  std::string batchFile;  // for the report
  std::string outDir;
  RunSettings run;  // pacing and progress
  bool raw = false;
  // Whether each song's result is kept for the JSON report. Without it a batch of any length
  // runs in memory that does not grow with the songs done: only the counts are kept.
  bool keepSongs = true;
};

struct BatchSongResult {
  BatchSong song;
  Outcome outcome = Outcome::NotFound;
  std::string url;    // the song page found, if any
  std::string file;   // the file written (name only), if any
  std::string error;  // why writing failed, if it did
  std::optional<SongNames> matchedAs;  // the names that found the page, when not those asked
  std::optional<MatchReport> match;    // how the song matched, when one did
};

struct BatchResult {
  std::vector<BatchSongResult> songs;  // the songs tried, in file order (when kept)
  int total = 0;
  int found = 0;
  int notFound = 0;
  int doubtful = 0;  // only a doubtful match, not written (engine/site_pacer.h MatchPolicy)
  int failed = 0;    // a download failed, or the file could not be written
  RunEnd end;

  int NotDone() const { return total - found - notFound - doubtful - failed; }
  // 1 when cancelled; else 3 when any song failed; else 1 when any was not found; else 0.
  int ExitStatus() const;
};

// Runs the batch. The output folder is created if missing; false with a message when it
// cannot be (nothing searched then).
bool RunBatch(PluginSession& session, const std::vector<BatchSong>& songs,
              const BatchSettings& settings, BatchResult& result, std::string& error);

// The summary line for stdout, and the JSON document, both LF-terminated.
std::string RenderBatchSummary(const BatchResult& result);
std::string RenderBatchJson(const BatchResult& result, const BatchSettings& settings);

}  // namespace host
