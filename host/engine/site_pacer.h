// How a run over many songs (get --batch, tag) paces itself against the site. While the site
// answers, the user's delay separates two searches. After failed downloads in a row the pauses
// grow (doubling, with jitter, so that many clients do not come back in step), so that a site
// that is down or refusing is not hammered; a song whose download failed is tried again up to
// `retries` times after such a pause. A site that answered "Too Many Requests" or "Service
// Unavailable" asked to be left alone for a while: its pauses are longer (the plug-in tells the
// host only the status text of a failed download, never the Retry-After header, so the host
// cannot wait for exactly as long as the site asked).
//
// The run stops when the site has stopped answering: kGiveUpAfter songs in a row failed and
// either none has succeeded in the whole run (a wrong --proxy, no network: said at once) or the
// site has answered no song for kGiveUpAfterSilence (a site that died mid-run, whatever came
// before), instead of walking the rest of a library to fail each song alike.
//
// A song is searched by the host's own plan (matching/search_plan.h): the names as given
// first, and only when that finds no trusted match, the names spelled for the site under a
// wider threshold and then the artist's songs, each search paced like any other; the songs
// offered are judged by the host (matching/match_judge.h), and a doubtful match is taken only
// when the user accepts those.
// Runs on the thread that drives the plug-in.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/outcome.h"
#include "engine/search_report.h"
#include "matching/search_plan.h"
#include "session/plugin_session.h"

namespace host {

// What a search takes as a match: the user's threshold for the plug-in's first search, whether
// a doubtful match is accepted, and whether its lyrics are wanted (get) or only the song (song).
struct MatchPolicy {
  float maxDifference = 1.0f;
  bool acceptDoubtful = false;
  bool lyrics = true;
};

// The pacer's view of time: the run's real time, or a test's own.
class PacerClock {
 public:
  virtual ~PacerClock() = default;
  virtual std::chrono::steady_clock::time_point Now() const = 0;
  // Waits `pause`; `why` says what the wait is for ("the site asked to wait"), empty for the
  // user's own delay. False when the run was cancelled meanwhile.
  virtual bool Wait(std::chrono::milliseconds pause, const std::string& why) = 0;
};

// Real time: waits sleep, silently, until done or cancelled.
PacerClock& RealTime();

// One question to the site: a plug-in command ("song", "songs", "lyrics") with its arguments,
// under a name threshold. The run asks its plug-in session; a test answers on its own.
using SiteAsk = std::function<SearchReport(const std::string& command,
                                           const std::vector<std::string>& arguments,
                                           float maxDifference)>;

class SitePacer {
 public:
  static constexpr int kGiveUpAfter = 5;
  static constexpr std::chrono::minutes kGiveUpAfterSilence{3};

  SitePacer(int delayMs, int retries, PacerClock& clock = RealTime());

  // The pause due before the next song's search (none before the run's first search). False
  // when the run was cancelled meanwhile.
  bool WaitBeforeSearch();

  // The song's searches by the plan, then, for a match that may be taken (and `lyrics`), its
  // lyrics; each download that failed is tried again (each time after its pause) while retries
  // are left. The report keeps the query as given, says how the song matched (match) and under
  // which names (matchedAs, when they differ), and is Doubtful for a doubtful match the user
  // does not accept. A cancellation during a pause gives it Interrupted or TimedOut.
  SearchReport Search(PluginSession& session, const SongNames& asked, const MatchPolicy& policy);
  SearchReport Search(const SiteAsk& site, const SongNames& asked, const MatchPolicy& policy);

  // Whether the run should stop (see above), and why: the site never answered, or refused.
  SiteStop GaveUp() const;
  int FailedSongsInARow() const { return failedSongsInARow_; }
  // Why the last song whose download failed failed.
  const DownloadTrouble& LastTrouble() const { return lastTrouble_; }
  // The line for stderr when the run gave up, with the last song's reason.
  std::string GaveUpMessage() const;

  // The pause before a search after `failuresInARow` failed downloads (0: the delay itself),
  // the last of which asked to wait or not, jitter in [0, 1) spreading it from 3/4 to 5/4 of
  // its value; in milliseconds.
  static int PauseMs(int delayMs, int failuresInARow, bool askedToWait, double jitter);

 private:
  bool Pause();
  SearchReport Ask(const SiteAsk& site, const matching::Search& search);
  void Decide(const SiteAsk& site, const SongNames& asked, const MatchPolicy& policy,
              const std::vector<matching::Answer>& answers, SearchReport& report);
  SearchReport SearchWithRetries(const SiteAsk& site, const std::string& command,
                                 const std::vector<std::string>& arguments, float maxDifference);
  void Tally(const SearchReport& report);

  int delayMs_;
  int retries_;
  PacerClock& clock_;
  bool searched_ = false;
  bool anySuccess_ = false;
  int failuresInARow_ = 0;  // downloads, retries included: they set the pause
  bool askedToWait_ = false;  // by the last failed download
  int failedSongsInARow_ = 0;
  // When the site last answered a song, or when the run's first search began.
  std::chrono::steady_clock::time_point lastAnswer_;
  DownloadTrouble lastTrouble_;
  std::map<std::string, std::vector<FoundSong>> artistSongs_;  // by the artist as asked
  std::map<std::string, FoundSong> offered_;  // every song offered in the run, by its address
  std::minstd_rand random_;
};

}  // namespace host
