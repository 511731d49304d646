#include "tags/store/lyrics_store.h"

#include <taglib/tfilestream.h>

#include <algorithm>
#include <vector>

#include "tags/store/file_replacement.h"
#include "tags/store/field_codec.h"
#include "tags/store/isolated_worker.h"
#include "os/posix/descriptor.h"
#include "tags/store/posix/file_io.h"
#include "tags/store/posix/located_file.h"
#include "session/cancel_switch.h"
#include "tags/audio_tags.h"

namespace host {
namespace {

// The worker's side: TagLib on descriptors it was handed, each closed by the stream that takes
// it.

// The copy about to replace the file must hold a valid file with exactly these lyrics.
bool ReadsBack(int copy, AudioFormat format, const std::string& lyrics) {
  if (!Rewind(copy)) {
    CloseDescriptor(copy);
    return false;
  }
  TagLib::FileStream stream(copy, true);
  AudioTags tags;
  std::string ignored;
  return stream.isOpen() && tags.Open(stream, format, ignored) && tags.Lyrics() == lyrics;
}

// TagLib's save on the copy itself: a tag that grows moves the audio after it in pieces, so
// memory stays small whatever the file's size.
bool SetLyricsIn(int copy, AudioFormat format, const std::string& lyrics, bool replaceLyrics,
                 const std::string& language, std::string& error) {
  Rewind(copy);  // TagLib reads some formats from where the descriptor stands
  TagLib::FileStream stream(copy, false);
  if (!stream.isOpen() || stream.readOnly()) {
    error = "cannot open the copy for writing";
    return false;
  }
  AudioTags audio;
  if (!audio.Open(stream, format, error)) return false;
  if (!replaceLyrics && !audio.Lyrics().empty()) {
    error = kChangedDuringRun;  // someone gave it lyrics of their own meanwhile
    return false;
  }
  audio.SetLyrics(lyrics, language);
  if (!audio.Save()) {
    error = "TagLib could not write the tags";
    return false;
  }
  return true;
}

std::string ServeRead(AudioFormat format, int file) {
  Rewind(file);  // TagLib reads some formats from where the descriptor stands
  TagLib::FileStream stream(file, true);
  AudioTags audio;
  std::string error;
  if (!stream.isOpen()) return PackFields({"0", "cannot read the file", "", "", ""});
  if (!audio.Open(stream, format, error)) return PackFields({"0", error, "", "", ""});
  return PackFields({"1", "", audio.Artist(), audio.Title(), PackLyricsFrames(audio.Frames())});
}

std::string ServeStore(AudioFormat format, int copy, const std::vector<std::string>& f) {
  std::string error;
  const int again = Duplicate(copy);  // the first stream closes its own
  bool ok = again >= 0 && SetLyricsIn(copy, format, f[2], f[3] == "1", f[4], error);
  if (ok && !ReadsBack(again, format, f[2])) {
    error = "the tagged copy did not read back; the file is left as it was";
    ok = false;
  } else if (!ok && again >= 0) {
    CloseDescriptor(again);
  }
  return PackFields({ok ? "1" : "0", error});
}

// A request: "read", the format; or "store", the format, the lyrics, "1" to replace lyrics,
// the language of a new frame; with one descriptor, the file to read or the copy to change.
// An answer: "1" or "0", the error, then for a read the artist, the title and the lyrics
// frames (tags/lyrics_frame.h).
std::string ServeRequest(const std::string& request, std::vector<int>& files) {
  std::vector<std::string> f;
  const bool read = UnpackFields(request, 2, f) && f[0] == "read";
  const bool store = !read && UnpackFields(request, 5, f) && f[0] == "store";
  if (files.size() != 1 || (!read && !store)) {
    for (const int fd : files) CloseDescriptor(fd);
    return {};
  }
  const auto format = static_cast<AudioFormat>(std::stoi(f[1]));
  return read ? ServeRead(format, files[0]) : ServeStore(format, files[0], f);
}

// One worker for the whole run, started at the first file.
IsolatedWorker& TagWorker() {
  static IsolatedWorker worker(ServeRequest);
  return worker;
}

}  // namespace

IsolationLimits TagWorkLimits(int file) {
  const std::uint64_t stored = BytesOnDisk(file);
  constexpr std::uint64_t kMemory = 512ull << 20;
  constexpr std::uint64_t kBytesPerSecond = 10ull << 20;  // copied, read and written
  constexpr std::uint64_t kMostSeconds = 600;
  const auto seconds = std::min<std::uint64_t>(kMostSeconds, 60 + stored / kBytesPerSecond);
  // --timeout is a hard limit on the run: a file under way is cut short (Ctrl-C lets it end).
  const auto timeIsUp = [] {
    return CancelSwitch::WhyCancelled() == CancelSwitch::Reason::TimedOut;
  };
  return IsolationLimits{kMemory, static_cast<int>(seconds), timeIsUp};
}

namespace {

// Why the worker gave no answer, for the file's report line; `answer` the worker's own reason.
std::string WhyNoAnswer(IsolatedEnd end, const std::string& answer) {
  switch (end) {
    case IsolatedEnd::TimedOut:
      return "the file could not be parsed (no result in time)";
    case IsolatedEnd::Stopped:
      return "stopped: the time given with --timeout is up";
    case IsolatedEnd::NotStarted:
      return "cannot start the tag reader: " + answer;
    default:
      return "the file could not be parsed";
  }
}

// Sends the request with the file: the answer's verdict, with `count` fields after the verdict
// and the error.
TagsEnd Ask(int file, const std::vector<std::string>& request, std::size_t count,
            std::vector<std::string>& fields, std::string& error) {
  std::string answer;
  const IsolatedEnd end =
      TagWorker().Call(PackFields(request), {file}, TagWorkLimits(file), answer);
  if (end != IsolatedEnd::Returned) {
    error = WhyNoAnswer(end, answer);
    return end == IsolatedEnd::Stopped ? TagsEnd::StoppedByTimeout : TagsEnd::Failed;
  }
  if (!UnpackFields(answer, count + 2, fields)) {
    error = "the file could not be parsed";
    return TagsEnd::Failed;
  }
  error = fields[1];
  return fields[0] == "1" ? TagsEnd::Done : TagsEnd::Failed;
}

std::string FormatText(AudioFormat format) { return std::to_string(static_cast<int>(format)); }

}  // namespace

TagsEnd ReadFileTags(const FileLocation& where, AudioFormat format, FileTags& tags,
                     std::string& error) {
  OpenedFile opened;
  if (!OpenLocatedFile(where, opened, error)) return TagsEnd::Failed;
  std::vector<std::string> fields;
  const TagsEnd end = Ask(opened.file.Get(), {"read", FormatText(format)}, 3, fields, error);
  std::vector<LyricsFrame> frames;
  if (end == TagsEnd::Done && !UnpackLyricsFrames(fields[4], frames)) {
    error = "the file could not be parsed";
    return TagsEnd::Failed;
  }
  if (end == TagsEnd::Done) {
    tags = FileTags{fields[2], fields[3], SongsOwnLyrics(frames), frames,
                    IdentityOf(opened.info)};
  }
  return end;
}

TagsEnd StoreLyrics(const RunJournal& journal, const FileLocation& where, AudioFormat format,
                    const std::string& lyrics, const FileIdentity& asRead, bool replaceLyrics,
                    const std::string& language, std::string& error) {
  TagsEnd end = TagsEnd::Done;
  const bool stored = ReplaceThroughCopy(
      journal, where, asRead,
      [&](int copy, std::string& why) {
        std::vector<std::string> fields;
        end = Ask(copy,
                  {"store", FormatText(format), lyrics, replaceLyrics ? "1" : "0", language}, 0,
                  fields, why);
        return end == TagsEnd::Done;
      },
      error);
  if (stored) return TagsEnd::Done;
  return end == TagsEnd::StoppedByTimeout ? end : TagsEnd::Failed;
}

}  // namespace host
