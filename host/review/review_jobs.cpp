#include "review/review_jobs.h"

#include "engine/run_loop.h"
#include "output/console_print.h"
#include "output/text_output.h"
#include "session/cancel_switch.h"

namespace host {
namespace {

constexpr std::chrono::milliseconds kLookForCancel{50};

class Jobs {
 public:
  Jobs(PluginSession& session, ReviewBoard& board, const TagSettings& settings,
       const RunJournal& journal, const MusicFiles& music)
      : session_(session),
        board_(board),
        settings_(settings),
        journal_(journal),
        music_(music),
        pacer_(settings.run.delayMs, settings.run.retries) {}

  // A search again under the names given: the file read anew (it may have changed), then
  // searched as the run searched it.
  Outcome SearchAgain(std::size_t number, const SongNames& names) {
    bool searchNeeded = false;
    TagFileResult one = PrepareFile(Location(number), settings_, searchNeeded, &names);
    if (searchNeeded) {
      if (pacer_.WaitBeforeSearch()) {
        std::string lyrics = SearchFile(session_, pacer_, settings_, one);
        if (one.status == TagStatus::WouldTag) one.lyrics = std::move(lyrics);
      } else {
        one.status = TagStatus::Stopped;
        one.stoppedBy = CancelOutcome();
      }
    }
    Say(one.path, one.status == TagStatus::WouldTag ? "found again" : "searched again");
    board_.Searched(number, one, true);
    return one.status == TagStatus::Stopped ? one.stoppedBy : Outcome::Found;
  }

  // Every accepted file's lyrics stored as tag stores them; a cancellation stops before the
  // next file (the one under way is finished).
  Outcome WriteAccepted() {
    Outcome ended = Outcome::Found;
    for (const std::size_t number : board_.TakeAcceptedToWrite()) {
      TagFileResult one = board_.File(number).result;
      if (ended == Outcome::Found && CancelSwitch::Cancelled()) ended = CancelOutcome();
      if (ended != Outcome::Found) {
        one.error = "stopped before it was written";
        board_.Written(number, one);
        continue;
      }
      const std::string lyrics = one.lyrics;
      StoreFoundLyrics(settings_, journal_, Location(number), lyrics, one);
      if (one.status == TagStatus::Stopped) ended = one.stoppedBy;
      Say(one.path, one.status == TagStatus::Tagged ? "tagged" : "not written: " + one.error);
      board_.Written(number, one);
    }
    return ended;
  }

 private:
  const FileLocation& Location(std::size_t number) const {
    return music_.files.at(number - music_.unreadable.size());
  }

  void Say(const std::string& path, const std::string& what) {
    if (settings_.run.quiet) return;
    Print("tunewell: " + PrintablePath(path) + ": " + what + "\n", settings_.run.progress);
  }

  PluginSession& session_;
  ReviewBoard& board_;
  const TagSettings& settings_;
  const RunJournal& journal_;
  const MusicFiles& music_;
  SitePacer pacer_;
};

}  // namespace

Outcome DoReviewJobs(PluginSession& session, ReviewBoard& board, const TagSettings& settings,
                     const RunJournal& journal, const MusicFiles& music) {
  Jobs jobs(session, board, settings, journal, music);
  while (!CancelSwitch::Cancelled()) {
    const std::optional<ReviewJob> job = board.NextJob(kLookForCancel);
    if (!job) continue;
    Outcome ended = Outcome::Found;
    switch (job->kind) {
      case ReviewJob::Kind::Finish:
        return Outcome::Found;
      case ReviewJob::Kind::Search:
        ended = jobs.SearchAgain(job->file, job->names);
        break;
      case ReviewJob::Kind::Write:
        ended = jobs.WriteAccepted();
        break;
    }
    if (ended != Outcome::Found) return ended;
  }
  return Outcome::Found;
}

}  // namespace host
