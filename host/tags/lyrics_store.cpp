#include "tags/lyrics_store.h"

#include <taglib/tfilestream.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "os/file_kind.h"
#include "os/file_replacement.h"
#include "os/isolated_worker.h"
#include "run/cancel_switch.h"
#include "tags/audio_tags.h"

namespace host {
namespace {

// The copy about to replace the file must hold a valid file with exactly these lyrics.
bool ReadsBack(const std::string& copy, AudioFormat format, const std::string& lyrics) {
  TagLib::FileStream stream(copy.c_str(), true);
  AudioTags tags;
  std::string ignored;
  return stream.isOpen() && tags.Open(stream, format, ignored) && tags.Lyrics() == lyrics;
}

// TagLib's save on the copy itself: a tag that grows moves the audio after it in pieces, so
// memory stays small whatever the file's size.
bool SetLyricsIn(const std::string& copy, AudioFormat format, const std::string& lyrics,
                 bool replaceLyrics, const std::string& language, std::string& error) {
  TagLib::FileStream stream(copy.c_str(), false);
  if (!stream.isOpen()) {
    error = std::string("cannot open the copy: ") + std::strerror(errno);
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

bool ReadInProcess(const std::string& path, AudioFormat format, FileTags& tags,
                   std::string& error) {
  // A FIFO or a device named as a music file would hang TagLib's read, or never end it.
  error = WhyNotRegularFile(path);
  if (!error.empty()) return false;
  FileIdentity identity;
  if (!IdentifyFile(path, identity, error)) return false;
  TagLib::FileStream stream(path.c_str(), true);
  if (!stream.isOpen()) {
    error = std::string("cannot open the file: ") + std::strerror(errno);
    return false;
  }
  AudioTags audio;
  if (!audio.Open(stream, format, error)) return false;
  tags = FileTags{audio.Artist(), audio.Title(), audio.Lyrics(), identity};
  return true;
}

bool StoreInProcess(const std::string& path, AudioFormat format, const std::string& lyrics,
                    const FileIdentity& asRead, bool replaceLyrics, const std::string& language,
                    std::string& error) {
  return ReplaceThroughCopy(
      path, asRead,
      [&](const std::string& copy, std::string& why) {
        if (!SetLyricsIn(copy, format, lyrics, replaceLyrics, language, why)) return false;
        if (ReadsBack(copy, format, lyrics)) return true;
        why = "the tagged copy did not read back; the file is left as it was";
        return false;
      },
      error);
}

// TagLib works through the file on disk, holding a tag at a time: a file of a few kilobytes
// that claims gigabytes must not take the machine with it, and a slow disk gets time by size.
IsolationLimits LimitsFor(const std::string& path) {
  std::error_code ignored;
  const std::uint64_t size = std::filesystem::file_size(path, ignored);
  constexpr std::uint64_t kMemory = 512ull << 20;
  constexpr std::uint64_t kBytesPerSecond = 10ull << 20;  // copied, read and written
  // --timeout is a hard limit on the run: a file under way is cut short (Ctrl-C lets it end).
  const auto timeIsUp = [] {
    return CancelSwitch::WhyCancelled() == CancelSwitch::Reason::TimedOut;
  };
  return IsolationLimits{kMemory, 60 + static_cast<int>(size / kBytesPerSecond), timeIsUp};
}

// Why the worker gave no answer, for the file's report line.
std::string WhyNoAnswer(IsolatedEnd end) {
  switch (end) {
    case IsolatedEnd::TimedOut:
      return "the file could not be parsed (no result in time)";
    case IsolatedEnd::Stopped:
      return "stopped: the time given with --timeout is up";
    case IsolatedEnd::NotStarted:
      return std::string("cannot start the tag reader: ") + std::strerror(errno);
    default:
      return "the file could not be parsed";
  }
}

std::string IdentityText(const FileIdentity& id) {
  return PackFields({std::to_string(id.device), std::to_string(id.inode), std::to_string(id.size),
                     std::to_string(id.modifiedNs), std::to_string(id.changedNs)});
}

FileIdentity IdentityFrom(const std::string& text) {
  std::vector<std::string> n;
  if (!UnpackFields(text, 5, n)) return {};
  return FileIdentity{std::stoull(n[0]), std::stoull(n[1]), std::stoull(n[2]), std::stoll(n[3]),
                      std::stoll(n[4])};
}

// The worker's side. A request: "read", path, format; or "store", path, format, lyrics, the
// identity as read, "1" to replace lyrics, the language of a new frame. An answer: "1" or
// "0", the error, then for a read the artist, the title, the lyrics and the identity.
std::string ServeRequest(const std::string& request) {
  std::vector<std::string> f;
  if (!UnpackFields(request, 3, f) && !UnpackFields(request, 7, f)) return {};
  const auto format = static_cast<AudioFormat>(std::stoi(f[2]));
  std::string error;
  if (f[0] == "read") {
    FileTags tags;
    const bool ok = ReadInProcess(f[1], format, tags, error);
    return PackFields({ok ? "1" : "0", error, tags.artist, tags.title, tags.lyrics,
                       IdentityText(tags.identity)});
  }
  const bool ok = f.size() == 7 && StoreInProcess(f[1], format, f[3], IdentityFrom(f[4]),
                                                 f[5] == "1", f[6], error);
  return PackFields({ok ? "1" : "0", error});
}

// One worker for the whole run, started at the first file.
IsolatedWorker& TagWorker() {
  static IsolatedWorker worker(ServeRequest);
  return worker;
}

// Sends the request: the answer's verdict, with `count` fields after the verdict and the
// error. `answered` is false when the worker gave no answer at all.
TagsEnd Ask(const std::string& path, const std::vector<std::string>& request, std::size_t count,
            std::vector<std::string>& fields, std::string& error, bool& answered) {
  std::string answer;
  const IsolatedEnd end = TagWorker().Call(PackFields(request), LimitsFor(path), answer);
  answered = end == IsolatedEnd::Returned;
  if (!answered) {
    error = WhyNoAnswer(end);
    return end == IsolatedEnd::Stopped ? TagsEnd::StoppedByTimeout : TagsEnd::Failed;
  }
  if (!UnpackFields(answer, count + 2, fields)) {
    error = "the file could not be parsed";
    return TagsEnd::Failed;
  }
  error = fields[1];
  return fields[0] == "1" ? TagsEnd::Done : TagsEnd::Failed;
}

}  // namespace

TagsEnd ReadFileTags(const std::string& path, AudioFormat format, FileTags& tags,
                     std::string& error) {
  std::vector<std::string> fields;
  const std::string kind = std::to_string(static_cast<int>(format));
  bool answered = false;
  const TagsEnd end = Ask(path, {"read", path, kind}, 4, fields, error, answered);
  if (end == TagsEnd::Done) {
    tags = FileTags{fields[2], fields[3], fields[4], IdentityFrom(fields[5])};
  }
  return end;
}

TagsEnd StoreLyrics(const std::string& path, AudioFormat format, const std::string& lyrics,
                    const FileIdentity& asRead, bool replaceLyrics, const std::string& language,
                    std::string& error) {
  std::vector<std::string> fields;
  const std::string kind = std::to_string(static_cast<int>(format));
  bool answered = false;
  const TagsEnd stored = Ask(path, {"store", path, kind, lyrics, IdentityText(asRead),
                                    replaceLyrics ? "1" : "0", language},
                             0, fields, error, answered);
  // A store whose worker died may have left its temporary copy, or the backup of a write in
  // place that it began: cleared, or put back, now rather than at the next run.
  if (!answered) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    RecoverEarlierRuns(folder.empty() ? "." : folder);
  }
  return stored;
}

}  // namespace host
