// How a run over many songs (get --batch, tag) paces itself against the site. While the site
// answers, the user's delay separates two searches. After failed downloads in a row the pauses
// grow (doubling, with jitter, so that many clients do not come back in step), so that a site
// that is down or refusing is not hammered; a song whose download failed is tried again up to
// `retries` times after such a pause. And when no download has succeeded in the whole run and
// kGiveUpAfter songs in a row failed, the site is taken to be unreachable (a wrong --proxy, no
// network): the run stops instead of walking the rest of a library to fail each song alike.
// A song is searched by the host's own plan (matching/search_plan.h): the names as given
// first, and only when that finds no trusted match, the names spelled for the site under a
// wider threshold and then the artist's songs, each search paced like any other; the songs
// offered are judged by the host (matching/match_judge.h), and a doubtful match is taken only
// when the user accepts those.
// Runs on the thread that drives the plug-in.
#pragma once

#include <map>
#include <random>
#include <string>

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

class SitePacer {
 public:
  static constexpr int kGiveUpAfter = 5;

  SitePacer(int delayMs, int retries);

  // The pause due before the next song's search (none before the run's first search). False
  // when the run was cancelled meanwhile.
  bool WaitBeforeSearch();

  // The song's searches by the plan, then, for a match that may be taken (and `lyrics`), its
  // lyrics; each download that failed is tried again (each time after its pause) while retries
  // are left. The report keeps the query as given, says how the song matched (match) and under
  // which names (matchedAs, when they differ), and is Doubtful for a doubtful match the user
  // does not accept. A cancellation during a pause gives it Interrupted or TimedOut.
  SearchReport Search(PluginSession& session, const SongNames& asked, const MatchPolicy& policy);

  // True once the run should stop: see above.
  bool GaveUp() const { return !anySuccess_ && failedSongsInARow_ >= kGiveUpAfter; }
  int FailedSongsInARow() const { return failedSongsInARow_; }
  // Why the last song whose download failed failed.
  const DownloadTrouble& LastTrouble() const { return lastTrouble_; }

  // The pause before a search after `failuresInARow` failed downloads (0: the delay itself),
  // jitter in [0, 1) spreading it from 3/4 to 5/4 of its value; in milliseconds.
  static int PauseMs(int delayMs, int failuresInARow, double jitter);

 private:
  SearchReport Ask(PluginSession& session, const matching::Search& search,
                   const MatchPolicy& policy);
  void Decide(PluginSession& session, const SongNames& asked, const MatchPolicy& policy,
              const std::vector<matching::Answer>& answers, SearchReport& report);
  SearchReport SearchWithRetries(PluginSession& session, const std::string& command,
                                 const std::vector<std::string>& arguments);
  void Tally(const SearchReport& report);

  int delayMs_;
  int retries_;
  bool searched_ = false;
  bool anySuccess_ = false;
  int failuresInARow_ = 0;  // downloads, retries included: they set the pause
  int failedSongsInARow_ = 0;
  DownloadTrouble lastTrouble_;
  std::map<std::string, std::vector<FoundSong>> artistSongs_;  // by the artist as asked
  std::map<std::string, FoundSong> offered_;  // every song offered in the run, by its address
  std::minstd_rand random_;
};

// The line for stderr when a run gave up, with the last song's reason.
std::string GaveUpMessage(const SitePacer& pacer);

}  // namespace host
