#include "tags/lyrics_store.h"

#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "os/file_kind.h"
#include "os/file_replacement.h"
#include "os/isolated_call.h"
#include "tags/audio_tags.h"

namespace host {
namespace {

bool ReadWholeFile(const std::string& path, TagLib::ByteVector& content, std::string& error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = std::string("cannot open the file: ") + std::strerror(errno);
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<unsigned long long>(size) > 0xFFFFFFFFull) {
    error = "cannot read the file: too large";
    return false;
  }
  content.resize(static_cast<unsigned int>(size));
  in.seekg(0);
  if (size > 0 && !in.read(content.data(), size)) {
    error = std::string("cannot read the file: ") + std::strerror(errno);
    return false;
  }
  return true;
}

// The bytes about to replace the file must hold a valid file with exactly these lyrics.
bool ReadsBack(TagLib::ByteVector& content, AudioFormat format, const std::string& lyrics) {
  TagLib::ByteVectorStream stream(content);
  AudioTags tags;
  std::string ignored;
  return tags.Open(stream, format, ignored) && tags.Lyrics() == lyrics;
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
                    const FileIdentity& asRead, bool replaceLyrics, std::string& error) {
  FileIdentity now;
  if (!IdentifyFile(path, now, error) || now != asRead) {
    error = kChangedDuringRun;  // no need to read it: the final check would refuse it
    return false;
  }
  TagLib::ByteVector content;
  if (!ReadWholeFile(path, content, error)) return false;
  TagLib::ByteVectorStream stream(content);
  content.clear();  // the stream holds the bytes now
  {
    AudioTags audio;
    if (!audio.Open(stream, format, error)) return false;
    if (!replaceLyrics && !audio.Lyrics().empty()) {
      error = kChangedDuringRun;  // someone gave it lyrics of their own meanwhile
      return false;
    }
    audio.SetLyrics(lyrics);
    if (!audio.Save()) {
      error = "TagLib could not write the tags";
      return false;
    }
  }
  TagLib::ByteVector& written = *stream.data();
  if (!ReadsBack(written, format, lyrics)) {
    error = "the tagged copy did not read back; the file is left as it was";
    return false;
  }
  return ReplaceFileContent(path, written.data(), written.size(), asRead, error);
}


// TagLib reads a whole file at most (the store keeps two copies of it), and a file of a few
// kilobytes that claims gigabytes must not take the machine with it.
IsolationLimits LimitsFor(const std::string& path) {
  std::error_code ignored;
  const std::uint64_t size = std::filesystem::file_size(path, ignored);
  constexpr std::uint64_t kBase = 512ull << 20;
  constexpr std::uint64_t kBytesPerSecond = 10ull << 20;  // a slow disk, read and written
  return IsolationLimits{kBase + 4 * size, 60 + static_cast<int>(size / kBytesPerSecond)};
}

// Why the child gave no answer, for the file's report line.
std::string WhyNoAnswer(IsolatedEnd end) {
  switch (end) {
    case IsolatedEnd::TimedOut:
      return "the file could not be parsed (no result in time)";
    case IsolatedEnd::NotStarted:
      return std::string("cannot start the tag reader: ") + std::strerror(errno);
    default:
      return "the file could not be parsed";
  }
}

// The work's verdict, its error, then its own fields.
std::string Verdict(bool ok, const std::string& error, std::vector<std::string> fields = {}) {
  fields.insert(fields.begin(), {ok ? "1" : "0", error});
  return PackFields(fields);
}

bool TakeVerdict(IsolatedEnd end, const std::string& packed, std::size_t count,
                 std::vector<std::string>& fields, std::string& error) {
  if (end != IsolatedEnd::Returned) {
    error = WhyNoAnswer(end);
    return false;
  }
  if (!UnpackFields(packed, count + 2, fields)) {
    error = "the file could not be parsed";
    return false;
  }
  error = fields[1];
  return fields[0] == "1";
}

}  // namespace

bool ReadFileTags(const std::string& path, AudioFormat format, FileTags& tags,
                  std::string& error) {
  std::string packed;
  const IsolatedEnd end = RunIsolated(LimitsFor(path), [&] {
    FileTags read;
    std::string why;
    const bool ok = ReadInProcess(path, format, read, why);
    const FileIdentity& id = read.identity;
    return Verdict(ok, why, {read.artist, read.title, read.lyrics, std::to_string(id.device),
                             std::to_string(id.inode), std::to_string(id.size),
                             std::to_string(id.modifiedNs), std::to_string(id.changedNs)});
  }, packed);
  std::vector<std::string> fields;
  if (!TakeVerdict(end, packed, 8, fields, error)) return false;
  tags.artist = fields[2];
  tags.title = fields[3];
  tags.lyrics = fields[4];
  tags.identity = FileIdentity{std::stoull(fields[5]), std::stoull(fields[6]),
                               std::stoull(fields[7]), std::stoll(fields[8]),
                               std::stoll(fields[9])};
  return true;
}

bool StoreLyrics(const std::string& path, AudioFormat format, const std::string& lyrics,
                 const FileIdentity& asRead, bool replaceLyrics, std::string& error) {
  std::string packed;
  const IsolatedEnd end = RunIsolated(LimitsFor(path), [&] {
    std::string why;
    const bool ok = StoreInProcess(path, format, lyrics, asRead, replaceLyrics, why);
    return Verdict(ok, why);
  }, packed);
  std::vector<std::string> fields;
  const bool stored = TakeVerdict(end, packed, 0, fields, error);
  // A store that died may have left its temporary copy, or the backup of a write in place
  // that it began: cleared, or put back, now rather than at the next run.
  if (end != IsolatedEnd::Returned) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    RecoverEarlierRuns(folder.empty() ? "." : folder);
  }
  return stored;
}

}  // namespace host
