// What a review knows of its run's files and what the person decided, shared by the run's
// thread (which searches and writes) and the server's threads (which answer the page). Files
// are numbered in the run's order (the entries that could not be read first, then the music
// files in walk order), and the page names them by that number only. Each change bumps a
// version, so that the page asks only for what changed since its last look. The work that needs
// the plug-in or the files (a search again, a write) is posted here as a job and done by the
// run's thread; the server's threads never do it. One mutex guards everything; any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_loop.h"
#include "matching/song_names.h"
#include "tags/tag_runner.h"

namespace host {

enum class Decision { Undecided, Accept, Skip };

// A file as the page shows it and its filters count it.
enum class FileState { Waiting, Found, Doubtful, NotFound, HasLyrics, Failed, Written, Stopped };

struct ReviewFile {
  std::string path;
  bool reached = false;  // the run has come to it
  TagFileResult result;  // the run's result, or that of the last search again or write
  Decision decision = Decision::Undecided;
  bool busy = false;    // a search again or a write is waiting or under way
  bool edited = false;  // last searched under names the person gave
  std::string note;     // what the person's last action came to
  std::uint64_t version = 0;
};

FileState StateOf(const ReviewFile& file);
// Whether the file holds lyrics now: as read, or written in this review.
bool HoldsLyrics(const ReviewFile& file);
// The decision a file starts with: a trusted match accepted; a doubtful one undecided, unless
// the person accepts doubtful matches (--accept doubtful); nothing for the rest.
Decision FirstDecision(FileState state, bool acceptDoubtful);
// What the summary says of a file when the review ends: as tag would, but a match found and
// not written is "skipped" when the person skipped it or it was trusted, and a doubtful one
// not skipped stays "doubtful" (counted and listed by --failed, as tag does).
TagStatus FinalStatus(const ReviewFile& file);

// The lyrics coverage of a group of files: how many, how many hold lyrics, how many more would
// with the accepted ones written, how many the run has not come to.
struct CoverageRow {
  std::string name;
  int total = 0;
  int with = 0;
  int accepted = 0;
  int waiting = 0;
  bool operator==(const CoverageRow&) const = default;
};
// By folder (the path up to its last "/", "." for none) and by artist (the names searched by;
// "(no artist)" when there are none), in name order.
std::vector<CoverageRow> CoverageByFolder(const std::vector<ReviewFile>& files);
std::vector<CoverageRow> CoverageByArtist(const std::vector<ReviewFile>& files);

struct ReviewJob {
  enum class Kind { Search, Write, Finish };
  Kind kind = Kind::Finish;
  std::size_t file = 0;  // Search
  SongNames names;       // Search: the names to search by
};

class ReviewBoard {
 public:
  // At most this many jobs wait; more are refused until the run has caught up.
  static constexpr std::size_t kMostJobs = 64;

  // `paths`: every item of the run, in its order. `acceptDoubtful`: doubtful matches start
  // accepted; `replacesLyrics`: files holding lyrics were searched too (--force).
  ReviewBoard(std::vector<std::string> paths, bool acceptDoubtful, bool replacesLyrics);

  std::size_t Count() const;

  // --- the run's thread ---
  // The run's result for its next file.
  void Reached(const TagFileResult& result);
  // The run's own searches are over (when it ends, the page says so).
  void SearchesEnded();
  void Finished();
  // The next job, waiting up to `wait`; none when there is none by then.
  std::optional<ReviewJob> NextJob(std::chrono::milliseconds wait);
  // A copy, to work on without holding the board.
  ReviewFile File(std::size_t file) const;
  // The files to write now (accepted, with lyrics found, not written), each marked busy.
  std::vector<std::size_t> TakeAcceptedToWrite();
  // A file's new result after a search again (its decision starts again) or a write.
  void Searched(std::size_t file, const TagFileResult& result, bool edited);
  void Written(std::size_t file, const TagFileResult& result);

  // --- the server's threads; each returns "" when done, else why not, for the page ---
  std::string Decide(std::size_t file, Decision decision);
  std::string Post(const ReviewJob& job);
  // The page's view: the files changed after `since`, with the counts and the coverage.
  std::string StateJson(std::uint64_t since) const;
  // One file's lyrics, whole: those found and those it holds.
  std::string LyricsJson(std::size_t file) const;

  // --- at the end ---
  // Tag's summary of the review: each file reached with its FinalStatus.
  TagResult Summary(const RunEnd& end) const;

 private:
  void Touch(ReviewFile& file);  // under the lock
  std::string PostLocked(const ReviewJob& job);

  mutable std::mutex mutex_;
  std::condition_variable jobReady_;
  std::vector<ReviewFile> files_;
  std::size_t reached_ = 0;
  std::deque<ReviewJob> jobs_;
  std::uint64_t version_ = 0;
  bool searching_ = true;
  bool finished_ = false;
  bool working_ = false;  // a job is under way
  const bool acceptDoubtful_;
  const bool replacesLyrics_;
};

}  // namespace host
