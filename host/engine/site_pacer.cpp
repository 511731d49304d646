#include "engine/site_pacer.h"

#include <algorithm>
#include <chrono>

#include "session/cancel_switch.h"
#include "engine/search_runner.h"
#include "matching/search_plan.h"

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

SearchReport SitePacer::Search(PluginSession& session, const SongNames& asked,
                               const MatchPolicy& policy) {
  SearchReport report;
  report.command = policy.lyrics ? "get" : "song";
  report.query = {{"artist", asked.artist}, {"title", asked.title}};
  std::vector<matching::Answer> answers;
  while (const auto next = matching::NextSearch(asked, policy.maxDifference, answers)) {
    // The first search of a song was paced by the caller; each further one is paced here.
    if (!answers.empty() && !WaitBeforeSearch()) {
      report.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return report;
    }
    SearchReport step = Ask(session, *next, policy);
    if (step.outcome != Outcome::Found && step.outcome != Outcome::NotFound) {
      report.outcome = step.outcome;
      report.trouble = std::move(step.trouble);
      report.statistics = session.Statistics();
      Tally(report);
      return report;
    }
    matching::Answer answer{*next, {}};
    if (step.song) step.songs.push_back(*step.song);
    for (const FoundSong& song : step.songs) {
      answer.songs.push_back({song.title, song.url});
      offered_[song.url] = song;  // the site's whole entry, for the report
    }
    answers.push_back(std::move(answer));
  }
  Decide(session, asked, policy, answers, report);
  report.statistics = session.Statistics();
  Tally(report);
  return report;
}

SearchReport SitePacer::Ask(PluginSession& session, const matching::Search& search,
                            const MatchPolicy& policy) {
  const bool songList = search.ask == matching::Ask::kArtistSongs;
  // An artist's songs are asked once a run: several files of one artist share the answer.
  if (songList) {
    if (const auto known = artistSongs_.find(search.names.artist); known != artistSongs_.end()) {
      SearchReport cached;
      cached.songs = known->second;
      cached.outcome = cached.songs.empty() ? Outcome::NotFound : Outcome::Found;
      return cached;
    }
  }
  session.SetMaxDifference(search.maxDifference);
  SearchReport report =
      songList ? SearchWithRetries(session, "songs", {search.names.artist})
               : SearchWithRetries(session, "song", {search.names.artist, search.names.title});
  session.SetMaxDifference(policy.maxDifference);
  if (songList && (report.outcome == Outcome::Found || report.outcome == Outcome::NotFound)) {
    artistSongs_[search.names.artist] = report.songs;
  }
  return report;
}

// The song the answers come to: judged, and, when it may be taken, its lyrics fetched.
void SitePacer::Decide(PluginSession& session, const SongNames& asked, const MatchPolicy& policy,
                       const std::vector<matching::Answer>& answers, SearchReport& report) {
  const matching::Choice choice = matching::ChooseFromAnswers(asked, answers);
  const matching::Judgement& judged = choice.judgement;
  report.outcome = Outcome::NotFound;
  if (!choice.chosen) {
    if (judged.level == matching::MatchLevel::kNoLyrics) {
      report.match = MatchReport{std::string(matching::LevelName(judged.level)), {}, asked};
    }
    return;
  }
  const matching::Candidate chosen = matching::CandidatesOf(asked, answers)[*choice.chosen];
  const SongNames foundAs{asked.artist, chosen.title};
  report.match = MatchReport{std::string(matching::LevelName(judged.level)),
                             matching::DifferenceNames(judged.artist | judged.title), foundAs};
  report.song = offered_[chosen.address];
  if (!(foundAs == asked)) report.matchedAs = foundAs;
  const bool doubtful = judged.level == matching::MatchLevel::kDoubtful;
  if (!matching::IsTrusted(judged.level) && !(doubtful && policy.acceptDoubtful)) {
    report.outcome = doubtful ? Outcome::Doubtful : Outcome::NotFound;
    return;
  }
  if (!policy.lyrics) {
    report.outcome = Outcome::Found;
    return;
  }
  SearchReport lyrics = SearchWithRetries(session, "lyrics", {chosen.address});
  report.lyrics = std::move(lyrics.lyrics);
  report.outcome = lyrics.outcome;
  report.trouble = std::move(lyrics.trouble);
}

SearchReport SitePacer::SearchWithRetries(PluginSession& session, const std::string& command,
                                          const std::vector<std::string>& arguments) {
  SearchReport report;
  for (int attempt = 0; attempt <= retries_; ++attempt) {
    if (attempt > 0 && !WaitBeforeSearch()) {
      report.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return report;
    }
    report = RunSearch(session, command, arguments);
    searched_ = true;
    if (report.outcome != Outcome::DownloadFailed) break;
    ++failuresInARow_;
  }
  return report;
}

void SitePacer::Tally(const SearchReport& report) {
  const Outcome outcome = report.outcome;
  if (outcome == Outcome::Found || outcome == Outcome::NotFound || outcome == Outcome::Doubtful) {
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
