// `tunewell tag [--force] [--dry-run] PATH...`: for each music file, reads artist and title
// (tags, else the file name), skips a file that already holds lyrics unless forced, looks the
// song up with FindSong and GetLyrics as get --batch does, and stores the lyrics in the file
// (tags/lyrics_store.h). Waits between searches, shows progress, sums up: tagged, had lyrics,
// not found, failed (and of these the local problems). A file or folder that cannot be read or
// written is reported, counted as a local problem, and the run goes on. A
// cancellation (Ctrl-C, --timeout) lets the file under way finish and stops before the next;
// the files not tried are counted as not done. Uses the session it is given; runs on the
// thread that drives the plug-in.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tags/store/file_identity.h"
#include "tags/store/posix/run_journal.h"
#include "engine/outcome.h"
#include "engine/search_report.h"
#include "engine/run_loop.h"
#include "tags/names_from_file.h"
#include "session/plugin_session.h"
#include "tags/music_files.h"

namespace host {

struct TagSettings {
  bool force = false;   // replace lyrics a file already holds
  bool dryRun = false;  // search, but write nothing
  RunSettings run;      // pacing and progress
  std::string language = "eng";  // of a new ID3v2 lyrics frame
  bool sidecar = false;           // also NAME.txt beside each file tagged
};

// Failed is a local problem: any failure but a download's (the file or folder could not be read
// or written, it has no names, ...), so that a reason added later needs no case of its own.
// Doubtful: only a doubtful match, not stored without --accept doubtful.
enum class TagStatus {
  Tagged, WouldTag, HadLyrics, NotFound, Doubtful, Failed, DownloadFailed, Stopped
};

struct TagFileResult {
  std::string path;
  TagStatus status = TagStatus::Failed;
  Outcome stoppedBy = Outcome::Found;  // Interrupted or TimedOut when Stopped
  bool named = false;                  // names holds the artist and title searched
  NamesFromFile names;
  std::string url;    // the song page found, if any
  std::string error;  // why it failed, if it did
  std::optional<SongNames> matchedAs;  // the names that found the page, when not those searched
  std::optional<MatchReport> match;    // how the song matched, when one did
  FileIdentity asRead;  // the file as Prepare read it
  std::string sameFileAs;  // a hard link's first name met in the run: done as that one
};

struct TagResult {
  std::vector<TagFileResult> files;  // the files tried, in walk order
  bool dryRun = false;
  int total = 0;
  int tagged = 0;  // or, in a dry run, would be tagged
  int hadLyrics = 0;
  int notFound = 0;
  int doubtful = 0;       // only a doubtful match: not stored
  int failed = 0;         // every failure: downloadFailed + localProblems
  int downloadFailed = 0;
  int localProblems = 0;  // files and folders that failed for a reason on this machine
  RunEnd end;

  int NotDone() const { return total - tagged - hadLyrics - notFound - doubtful - failed; }
  // As for get --batch (engine/outcome.h RunExitStatus): 1 when cancelled; else 3 when any
  // download failed; else 4 when any local problem; else 1 when any was not found; else 0.
  int ExitStatus() const;
};

// Runs over the files, after reporting each unreadable entry of `music` as a local problem.
// `journal`: the run's private record of its changes (tags/store/posix/run_journal.h); before the
// first file, what killed earlier runs left in it is settled (tags/store/file_replacement.h), and what
// could not be is said on the progress stream. A dry run writes nothing and needs none (null).
void RunTag(PluginSession& session, const MusicFiles& music, const TagSettings& settings,
            const RunJournal* journal, TagResult& result);

// The files to try again, as whole paths (a list read again from any folder finds them): those
// not found, failed or cut short, and those a stopped run never reached, in walk order.
std::vector<std::string> PathsToRetry(const TagResult& result, const MusicFiles& music);

// The summary line for stdout ("tagged 61, had lyrics 9, not found 8, failed 2", with
// " (local problems 1)" after it when some failures were local), and the JSON document with
// one record per file or unreadable entry; both LF-terminated.
std::string RenderTagSummary(const TagResult& result);
std::string RenderTagJson(const TagResult& result);

}  // namespace host
