#include "engine/site_pacer.h"

#include <algorithm>
#include <chrono>

#include "session/cancel_switch.h"
#include "engine/search_runner.h"

namespace host {
namespace {

// A pause after failures starts at four delays, at least this, and doubles up to kLongest.
constexpr int kShortestBackOffMs = 100;
constexpr int kLongestBackOffMs = 60000;

}  // namespace

SitePacer::SitePacer(int delayMs, int retries)
    : delayMs_(delayMs),
      retries_(retries),
      random_(static_cast<unsigned>(
          std::chrono::steady_clock::now().time_since_epoch().count())) {}

int SitePacer::PauseMs(int delayMs, int failuresInARow, double jitter) {
  if (failuresInARow <= 0) return delayMs;
  double pause = std::max(4.0 * delayMs, static_cast<double>(kShortestBackOffMs));
  for (int i = 1; i < failuresInARow && pause < kLongestBackOffMs; ++i) pause *= 2;
  pause = std::min(pause, static_cast<double>(kLongestBackOffMs));
  return static_cast<int>(pause * (0.75 + 0.5 * jitter));
}

bool SitePacer::WaitBeforeSearch() {
  if (!searched_) return !CancelSwitch::Cancelled();
  const double jitter = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
  return CancelSwitch::SleepUnlessCancelled(
      std::chrono::milliseconds(PauseMs(delayMs_, failuresInARow_, jitter)));
}

SearchReport SitePacer::Search(PluginSession& session, const std::string& artist,
                               const std::string& title) {
  const SongNames asGiven{artist, title};
  SearchReport report = SearchWithRetries(session, asGiven);
  if (report.outcome == Outcome::NotFound && !report.song) {
    report = SearchVariants(session, asGiven, std::move(report));
  }
  Tally(report);
  return report;
}

SearchReport SitePacer::SearchWithRetries(PluginSession& session, const SongNames& names) {
  SearchReport report;
  for (int attempt = 0; attempt <= retries_; ++attempt) {
    if (attempt > 0 && !WaitBeforeSearch()) {
      report.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return report;
    }
    report = RunSearch(session, "get", {names.artist, names.title});
    searched_ = true;
    if (report.outcome != Outcome::DownloadFailed) break;
    ++failuresInARow_;
  }
  return report;
}

// A variant that finds the song page ends the search, whether its lyrics are there or not; so
// does one whose download failed, which says nothing of the names.
SearchReport SitePacer::SearchVariants(PluginSession& session, const SongNames& asGiven,
                                       SearchReport missed) {
  for (const SongNames& variant : NameVariants(asGiven)) {
    if (!WaitBeforeSearch()) {
      missed.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return missed;
    }
    SearchReport report = SearchWithRetries(session, variant);
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
    failuresInARow_ = 0;
    failedSongsInARow_ = 0;
  } else if (outcome == Outcome::DownloadFailed) {
    ++failedSongsInARow_;
    lastTrouble_ = report.trouble;
  }
}

std::string GaveUpMessage(const SitePacer& pacer) {
  return "tunewell: stopped: the downloads of " + std::to_string(pacer.FailedSongsInARow()) +
         " songs in a row failed and none has succeeded" + TroubleNote(pacer.LastTrouble()) + "\n";
}

}  // namespace host
