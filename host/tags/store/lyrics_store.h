// Reading a music file's tags, and storing lyrics in it without ever damaging it: TagLib
// writes the new tags into a copy of the file beside it, the copy must read back as a valid
// file of its format holding exactly these lyrics, and only then does it replace the file
// (tags/store/file_replacement.h); memory does not grow with the file's size. Parsing a file is
// parsing untrusted input: TagLib runs in a confined worker process under limits
// (tags/store/isolated_worker.h), handed the open file (or copy) and nothing else, so that a file that
// crashes TagLib, makes it allocate or recurse without end, or reaches a bug in it, fails alone
// ("the file could not be parsed") and the run goes on. This process does every opening,
// relative to folders held open (tags/store/posix/located_file.h). Any thread, one file at a time.
#pragma once

#include <string>
#include <vector>

#include "tags/store/file_identity.h"
#include "tags/store/file_location.h"
#include "tags/store/isolated_worker.h"
#include "tags/store/posix/run_journal.h"
#include "tags/audio_format.h"
#include "tags/lyrics_frame.h"

namespace host {

struct FileTags {
  std::string artist;  // UTF-8, empty when the tag has none
  std::string title;
  std::string lyrics;  // the song's own (tags/lyrics_frame.h), empty when the file holds none
  std::vector<LyricsFrame> frames;  // every lyrics text the file holds, for show
  FileIdentity identity;  // the file as it was when read, for StoreLyrics
};

// How a read or a store ended. StoppedByTimeout: cut short because --timeout passed; the file
// is left as it was (a store's copy is cleared at once), and the run reports it stopped, not
// failed. A result of its own, so that no error text can pass for it.
enum class TagsEnd { Done, Failed, StoppedByTimeout };

// Longer lyrics are refused ("lyrics too long"): no song's text comes near it, and a page
// that yields more is not lyrics.
constexpr std::size_t kMaxLyricsBytes = 1 << 20;

// Reads the tags, the file opened read-only. Failed with a reason ("not a valid MP3 file",
// "cannot open the file: ...") when it cannot; StoppedByTimeout with one for the user.
TagsEnd ReadFileTags(const FileLocation& where, AudioFormat format, FileTags& tags,
                     std::string& error);

// Makes the lyrics the file's only lyrics, the file still being the one read (`asRead`) and,
// unless `replaceLyrics`, still holding none; else the error is kChangedDuringRun. Failed with
// a reason when the file cannot be read, is not valid, or cannot be replaced; the file is then
// left as it was.
// `language`: the ID3v2 language of a new lyrics frame (three lower-case letters).
// The limits a file's read or store runs under in the worker: memory bounded whatever the file
// claims; time by what is really on the disk (a sparse file that claims terabytes costs
// nothing to read), at most ten minutes; and --timeout, which cuts a file under way short.
IsolationLimits TagWorkLimits(int file);

// `journal`: the run's private record of its changes (tags/store/posix/run_journal.h).
TagsEnd StoreLyrics(const RunJournal& journal, const FileLocation& where, AudioFormat format,
                    const std::string& lyrics, const FileIdentity& asRead, bool replaceLyrics,
                    const std::string& language, std::string& error);

}  // namespace host
