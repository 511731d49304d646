#include "review/review_command.h"

#include "engine/session_settings.h"
#include "os/browser.h"
#include "output/console_print.h"
#include "review/review_board.h"
#include "review/review_jobs.h"
#include "review/review_server.h"
#include "session/cancel_switch.h"
#include "tags/tag_commands.h"

namespace host {
namespace {

// Every item of the run, in its order: the entries that could not be read, then the files.
std::vector<std::string> RunPaths(const MusicFiles& music) {
  std::vector<std::string> paths;
  for (const UnreadableEntry& entry : music.unreadable) paths.push_back(entry.path);
  for (const FileLocation& file : music.files) paths.push_back(file.path);
  return paths;
}

// The review's run: tag's dry run, keeping what it found for the page; a doubtful match's
// lyrics are fetched too, for the person to judge.
TagSettings ReviewSettings(const Options& options, ReviewBoard& board) {
  TagSettings settings = TagSettingsFrom(options);
  settings.dryRun = true;
  settings.keepLyrics = true;
  settings.run.match.acceptDoubtful = true;
  settings.fileDone = [&board](const TagFileResult& one) { board.Reached(one); };
  return settings;
}

}  // namespace

int RunReviewCommand(const Options& options) {
  MusicFiles music;
  if (!CollectTagFiles(options, music)) return kExitUsage;
  RunJournal journal;
  if (!OpenTagJournal(journal)) return kExitLocalProblem;
  PluginSession session;
  std::string error;
  if (!session.Open(SessionSettingsFrom(options), error)) {
    Print("tunewell: " + error + "\n", stderr);
    return kExitUsage;
  }
  ReviewBoard board(RunPaths(music), options.acceptDoubtful, options.force);
  ReviewServer server(board);
  if (!server.Start(error)) {
    Print("tunewell: " + error + "\n", stderr);
    return kExitLocalProblem;
  }
  Print("tunewell: review at " + server.Address() + " (Finish in the page or Ctrl-C ends it)\n",
        stderr);
  if (options.open && !OpenInBrowser(server.Address(), error)) {
    Print("tunewell: cannot open a browser: " + error + "\n", stderr);
  }
  const TagSettings settings = ReviewSettings(options, board);
  RecoverEarlierRuns(journal, settings.run.progress);
  TagResult run;
  RunTag(session, music, settings, nullptr, run);
  board.SearchesEnded();
  RunEnd end = run.end;
  if (!end.Cancelled()) end.stoppedBy = DoReviewJobs(session, board, settings, journal, music);
  board.Finished();
  server.Stop();
  end.statistics = session.Statistics();
  session.Close();
  return EndTagRun(options, board.Summary(end), music, "review");
}

}  // namespace host
