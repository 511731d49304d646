#include "engine/site_pacer.h"

#include <algorithm>

#include "engine/search_runner.h"
#include "session/cancel_switch.h"

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

// A pause after failures starts at four delays, at least this, and doubles up to kLongest.
constexpr int kShortestBackOffMs = 100;
constexpr int kLongestBackOffMs = 60000;
// A site that asked to wait gets these instead: Retry-After values run from seconds to a few
// minutes, and the host cannot read the one sent.
constexpr int kAskedWaitMs = 30000;
constexpr int kLongestAskedWaitMs = 300000;

class RealClock : public PacerClock {
 public:
  Clock::time_point Now() const override { return Clock::now(); }
  bool Wait(std::chrono::milliseconds pause, const std::string&) override {
    return CancelSwitch::SleepUnlessCancelled(pause);
  }
};

// What a pause after failures is for, for the user.
std::string WhyPause(int failuresInARow, bool askedToWait) {
  if (failuresInARow <= 0) return {};
  if (askedToWait) return "the site asked to wait";
  return std::to_string(failuresInARow) + (failuresInARow == 1 ? " download" : " downloads") +
         " failed";
}

}  // namespace

PacerClock& RealTime() {
  static RealClock clock;
  return clock;
}

SitePacer::SitePacer(int delayMs, int retries, PacerClock& clock)
    : delayMs_(delayMs),
      retries_(retries),
      clock_(clock),
      random_(static_cast<unsigned>(Clock::now().time_since_epoch().count())) {}

int SitePacer::PauseMs(int delayMs, int failuresInARow, bool askedToWait, double jitter) {
  if (failuresInARow <= 0) return delayMs;
  const double longest = askedToWait ? kLongestAskedWaitMs : kLongestBackOffMs;
  double pause = askedToWait ? kAskedWaitMs
                             : std::max(4.0 * delayMs, static_cast<double>(kShortestBackOffMs));
  for (int i = 1; i < failuresInARow && pause < longest; ++i) pause *= 2;
  pause = std::min(pause, longest);
  return static_cast<int>(pause * (0.75 + 0.5 * jitter));
}

bool SitePacer::Pause() {
  const double jitter = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
  return clock_.Wait(
      std::chrono::milliseconds(PauseMs(delayMs_, failuresInARow_, askedToWait_, jitter)),
      WhyPause(failuresInARow_, askedToWait_));
}

bool SitePacer::WaitBeforeSearch() {
  if (!searched_) return !CancelSwitch::Cancelled();
  return Pause();
}

SearchReport SitePacer::Search(PluginSession& session, const std::string& artist,
                               const std::string& title) {
  return Search(
      [&session](const SongNames& names) {
        return RunSearch(session, "get", {names.artist, names.title});
      },
      {artist, title});
}

SearchReport SitePacer::Search(const SongSearch& search, const SongNames& asGiven) {
  SearchReport report = SearchWithRetries(search, asGiven);
  if (report.outcome == Outcome::NotFound && !report.song) {
    report = SearchVariants(search, asGiven, std::move(report));
  }
  Tally(report);
  return report;
}

SearchReport SitePacer::SearchWithRetries(const SongSearch& search, const SongNames& names) {
  SearchReport report;
  for (int attempt = 0; attempt <= retries_; ++attempt) {
    if (attempt > 0 && !Pause()) {
      report.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return report;
    }
    if (!searched_) lastAnswer_ = clock_.Now();  // the silence counts from the first search
    searched_ = true;
    report = search(names);
    if (report.outcome != Outcome::DownloadFailed) break;
    ++failuresInARow_;
    askedToWait_ = report.trouble.askedToWait;
  }
  return report;
}

// A variant that finds the song page ends the search, whether its lyrics are there or not; so
// does one whose download failed, which says nothing of the names.
SearchReport SitePacer::SearchVariants(const SongSearch& search, const SongNames& asGiven,
                                       SearchReport missed) {
  for (const SongNames& variant : NameVariants(asGiven)) {
    if (!WaitBeforeSearch()) {
      missed.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return missed;
    }
    SearchReport report = SearchWithRetries(search, variant);
    if (report.outcome == Outcome::NotFound && !report.song) continue;
    report.query = missed.query;
    if (report.song) report.matchedAs = variant;
    return report;
  }
  return missed;
}

void SitePacer::Tally(const SearchReport& report) {
  const Outcome outcome = report.outcome;
  if (outcome == Outcome::Found || outcome == Outcome::NotFound) {
    anySuccess_ = true;  // the site answered
    lastAnswer_ = clock_.Now();
    failuresInARow_ = 0;
    askedToWait_ = false;
    failedSongsInARow_ = 0;
  } else if (outcome == Outcome::DownloadFailed) {
    ++failedSongsInARow_;
    lastTrouble_ = report.trouble;
  }
}

SiteStop SitePacer::GaveUp() const {
  if (failedSongsInARow_ < kGiveUpAfter) return SiteStop::None;
  if (anySuccess_ && clock_.Now() - lastAnswer_ < kGiveUpAfterSilence) return SiteStop::None;
  return lastTrouble_.answered ? SiteStop::Refused : SiteStop::NotReachable;
}

std::string SitePacer::GaveUpMessage() const {
  const std::string songs = std::to_string(failedSongsInARow_) + " songs in a row";
  if (!anySuccess_) {
    return "tunewell: stopped: the downloads of " + songs + " failed and none has succeeded" +
           TroubleNote(lastTrouble_) + "\n";
  }
  const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(clock_.Now() - lastAnswer_);
  return "tunewell: stopped: the site has answered no song for " +
         std::to_string(minutes.count()) + " minutes (the downloads of " + songs + " failed)" +
         TroubleNote(lastTrouble_) + "\n";
}

}  // namespace host
