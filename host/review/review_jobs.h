// The run's side of a review once its own searches are over: the jobs the page posts (a search
// again under other names, a write of the accepted files, the end), done one at a time on the
// run's thread through its plug-in session, its pacer and the tag store, with the board told of
// each file as it is done. Runs until the person finishes, or Ctrl-C or --timeout ends the
// review.
#pragma once

#include "engine/outcome.h"
#include "review/review_board.h"
#include "session/plugin_session.h"
#include "tags/music_files.h"
#include "tags/store/posix/run_journal.h"
#include "tags/tag_runner.h"

namespace host {

// `settings`: the review's (a dry run that keeps the lyrics); `music`: the run's files, which
// the board numbers unreadable entries first. Found when the review ended between jobs;
// Interrupted or TimedOut when that cut a job short.
Outcome DoReviewJobs(PluginSession& session, ReviewBoard& board, const TagSettings& settings,
                     const RunJournal& journal, const MusicFiles& music);

}  // namespace host
