#include "engine/site_pacer.h"

#include <algorithm>

#include "engine/search_runner.h"
#include "matching/search_plan.h"
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

SearchReport SitePacer::Search(PluginSession& session, const SongNames& asked,
                               const MatchPolicy& policy) {
  const SiteAsk site = [&session, &policy](const std::string& command,
                                           const std::vector<std::string>& arguments,
                                           float maxDifference) {
    session.SetMaxDifference(maxDifference);
    SearchReport report = RunSearch(session, command, arguments);
    session.SetMaxDifference(policy.maxDifference);
    return report;
  };
  SearchReport report = Search(site, asked, policy);
  report.statistics = session.Statistics();
  return report;
}

SearchReport SitePacer::Search(const SiteAsk& site, const SongNames& asked,
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
    SearchReport step = Ask(site, *next);
    if (step.outcome != Outcome::Found && step.outcome != Outcome::NotFound) {
      report.outcome = step.outcome;
      report.trouble = std::move(step.trouble);
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
  Decide(site, asked, policy, answers, report);
  Tally(report);
  return report;
}

SearchReport SitePacer::Ask(const SiteAsk& site, const matching::Search& search) {
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
  SearchReport report =
      songList ? SearchWithRetries(site, "songs", {search.names.artist}, search.maxDifference)
               : SearchWithRetries(site, "song", {search.names.artist, search.names.title},
                                   search.maxDifference);
  if (songList && (report.outcome == Outcome::Found || report.outcome == Outcome::NotFound)) {
    artistSongs_[search.names.artist] = report.songs;
  }
  return report;
}

// The song the answers come to: judged, and, when it may be taken, its lyrics fetched.
void SitePacer::Decide(const SiteAsk& site, const SongNames& asked, const MatchPolicy& policy,
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
  SearchReport lyrics = SearchWithRetries(site, "lyrics", {chosen.address}, policy.maxDifference);
  report.lyrics = std::move(lyrics.lyrics);
  report.outcome = lyrics.outcome;
  report.trouble = std::move(lyrics.trouble);
}

SearchReport SitePacer::SearchWithRetries(const SiteAsk& site, const std::string& command,
                                          const std::vector<std::string>& arguments,
                                          float maxDifference) {
  SearchReport report;
  for (int attempt = 0; attempt <= retries_; ++attempt) {
    if (attempt > 0 && !Pause()) {
      report.outcome = Classify(false, {}, {});  // Interrupted or TimedOut
      return report;
    }
    if (!searched_) lastAnswer_ = clock_.Now();  // the silence counts from the first search
    searched_ = true;
    report = site(command, arguments, maxDifference);
    if (report.outcome != Outcome::DownloadFailed) break;
    ++failuresInARow_;
    askedToWait_ = report.trouble.askedToWait;
  }
  return report;
}

void SitePacer::Tally(const SearchReport& report) {
  const Outcome outcome = report.outcome;
  if (outcome == Outcome::Found || outcome == Outcome::NotFound || outcome == Outcome::Doubtful) {
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
