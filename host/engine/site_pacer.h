// How a run over many songs (get --batch, tag) paces itself against the site. While the site
// answers, the user's delay separates two searches. After failed downloads in a row the pauses
// grow (doubling, with jitter, so that many clients do not come back in step), so that a site
// that is down or refusing is not hammered; a song whose download failed is tried again up to
// `retries` times after such a pause. And when no download has succeeded in the whole run and
// kGiveUpAfter songs in a row failed, the site is taken to be unreachable (a wrong --proxy, no
// network): the run stops instead of walking the rest of a library to fail each song alike.
// When the names as given find no song page, the song is searched again under the spellings of
// engine/name_variants.h, each search paced like any other.
// Runs on the thread that drives the plug-in.
#pragma once

#include <random>
#include <string>

#include "engine/search_report.h"
#include "session/plugin_session.h"

namespace host {

class SitePacer {
 public:
  static constexpr int kGiveUpAfter = 5;

  SitePacer(int delayMs, int retries);

  // The pause due before the next song's search (none before the run's first search). False
  // when the run was cancelled meanwhile.
  bool WaitBeforeSearch();

  // FindSong, then GetLyrics, for the song; after a failed download, tried again (each time
  // after its pause) while retries are left. When no song page was found, the same under each
  // name variant in turn, after its pause, up to the first that finds one or fails; the report
  // keeps the query as given and says in matchedAs which names found the page. A cancellation
  // during a pause gives the report Interrupted or TimedOut.
  SearchReport Search(PluginSession& session, const std::string& artist,
                      const std::string& title);

  // True once the run should stop: see above.
  bool GaveUp() const { return !anySuccess_ && failedSongsInARow_ >= kGiveUpAfter; }
  int FailedSongsInARow() const { return failedSongsInARow_; }
  // Why the last song whose download failed failed.
  const DownloadTrouble& LastTrouble() const { return lastTrouble_; }

  // The pause before a search after `failuresInARow` failed downloads (0: the delay itself),
  // jitter in [0, 1) spreading it from 3/4 to 5/4 of its value; in milliseconds.
  static int PauseMs(int delayMs, int failuresInARow, double jitter);

 private:
  SearchReport SearchWithRetries(PluginSession& session, const SongNames& names);
  SearchReport SearchVariants(PluginSession& session, const SongNames& asGiven,
                              SearchReport missed);
  void Tally(const SearchReport& report);

  int delayMs_;
  int retries_;
  bool searched_ = false;
  bool anySuccess_ = false;
  int failuresInARow_ = 0;  // downloads, retries included: they set the pause
  int failedSongsInARow_ = 0;
  DownloadTrouble lastTrouble_;
  std::minstd_rand random_;
};

// The line for stderr when a run gave up, with the last song's reason.
std::string GaveUpMessage(const SitePacer& pacer);

}  // namespace host
