// tag and show: the music files' lyrics, stored through the plug-in's searches and shown.
// Called once from main on the main thread, after the CancelSwitch is installed.
#pragma once

#include "engine/options.h"
#include "tags/music_files.h"
#include "tags/store/posix/run_journal.h"
#include "tags/tag_runner.h"

namespace host {

// What tag and review share around their run. CollectTagFiles: the music files of the PATHs
// and the --from list, walked, --include and --exclude applied; false with the messages
// printed (the exit status is then 2). OpenTagJournal: the run's private journal in this
// user's state folder; false with the message printed (the exit status is then 4).
// TagSettingsFrom: the run's settings from the options. EndTagRun: the summary (or the JSON
// document, its "command" the one named) on stdout, --stats, the --failed list; the exit
// status.
bool CollectTagFiles(const Options& options, MusicFiles& music);
bool OpenTagJournal(RunJournal& journal);
TagSettings TagSettingsFrom(const Options& options);
int EndTagRun(const Options& options, const TagResult& result, const MusicFiles& music,
              const char* command);

// tag: exit status as for get --batch, and 4 when a file or folder met a local problem (a
// failed download outranks it); 2 when a PATH does not exist or is not a music file.
int RunTagCommand(const Options& options);
// show: 0 when every file holds lyrics, 1 otherwise.
int RunShowCommand(const Options& options);

}  // namespace host
