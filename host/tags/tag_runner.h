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
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tags/lyrics_frame.h"
#include "tags/store/file_identity.h"
#include "tags/store/file_location.h"
#include "tags/store/posix/run_journal.h"
#include "engine/outcome.h"
#include "engine/search_report.h"
#include "engine/run_loop.h"
#include "tags/names_from_file.h"
#include "session/plugin_session.h"
#include "tags/music_files.h"

namespace host {

struct TagFileResult;

struct TagSettings {
  bool force = false;   // replace lyrics a file already holds
  bool dryRun = false;  // search, but write nothing
  RunSettings run;      // pacing and progress
  std::string language = "eng";  // of a new ID3v2 lyrics frame
  bool sidecar = false;           // also NAME.txt beside each file tagged
  // review: a dry run's results keep the lyrics found and those each file held, and each is
  // handed to fileDone as it comes (on the run's thread).
  bool keepLyrics = false;
  std::function<void(const TagFileResult&)> fileDone;
};

// Failed is a local problem: any failure but a download's (the file or folder could not be read
// or written, it has no names, ...), so that a reason added later needs no case of its own.
// Doubtful: only a doubtful match, not stored without --accept doubtful. Skipped: found, and
// left unwritten by the person reviewing the run (review).
enum class TagStatus {
  Tagged, WouldTag, HadLyrics, NotFound, Doubtful, Skipped, Failed, DownloadFailed, Stopped
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
  // With TagSettings::keepLyrics: the lyrics found (a dry run's, to store later), and those the
  // file held when read, with where they are.
  std::string lyrics;
  std::string heldLyrics;
  std::vector<LyricsFrame> heldFrames;
};

struct TagResult {
  std::vector<TagFileResult> files;  // the files tried, in walk order
  bool dryRun = false;
  int total = 0;
  int tagged = 0;  // or, in a dry run, would be tagged
  int hadLyrics = 0;
  int notFound = 0;
  int doubtful = 0;       // only a doubtful match: not stored
  int skipped = 0;        // found, left unwritten in a review
  int failed = 0;         // every failure: downloadFailed + localProblems
  int downloadFailed = 0;
  int localProblems = 0;  // files and folders that failed for a reason on this machine
  RunEnd end;

  int NotDone() const {
    return total - tagged - hadLyrics - notFound - doubtful - skipped - failed;
  }
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

// One file's parts, as the run does them, for a caller that goes through a library's files at
// its own pace (review). PrepareFile: what can be settled without the site (the tags, the
// lyrics held, the names, whether the file can be written); searchNeeded when the file is to be
// searched. SearchFile: the search of one.names through the pacer (the caller paced it with
// WaitBeforeSearch); the status it leads to, WouldTag with the lyrics returned when found.
// StoreFoundLyrics: those lyrics stored through the journal, the file still the one read
// (one.asRead), and the sidecar when asked: Tagged, or why not.
// `names`, when given, are searched by instead of those the file gives (review's search again).
TagFileResult PrepareFile(const FileLocation& where, const TagSettings& settings,
                          bool& searchNeeded, const SongNames* names = nullptr);
std::string SearchFile(PluginSession& session, SitePacer& pacer, const TagSettings& settings,
                       TagFileResult& one);
void StoreFoundLyrics(const TagSettings& settings, const RunJournal& journal,
                      const FileLocation& where, const std::string& lyrics, TagFileResult& one);
// What killed earlier runs left in the journal, settled, each note said on `progress`.
void RecoverEarlierRuns(const RunJournal& journal, std::FILE* progress);

// The files to try again, as whole paths (a list read again from any folder finds them): those
// not found, failed or cut short, and those a stopped run never reached, in walk order.
std::vector<std::string> PathsToRetry(const TagResult& result, const MusicFiles& music);

// The summary line for stdout ("tagged 61, had lyrics 9, not found 8, failed 2", with
// " (local problems 1)" after it when some failures were local), and the JSON document with
// one record per file or unreadable entry (its "command" the one named); both LF-terminated.
std::string RenderTagSummary(const TagResult& result);
std::string RenderTagJson(const TagResult& result, const char* command = "tag");
// Counts the file's result in the summary and keeps it, as the run does.
void AddTagFile(TagResult& result, TagFileResult one);

}  // namespace host
