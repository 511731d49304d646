#include "tags/lyrics_store.h"

#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "os/file_kind.h"
#include "os/file_replacement.h"
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

}  // namespace

bool ReadFileTags(const std::string& path, AudioFormat format, FileTags& tags,
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

bool StoreLyrics(const std::string& path, AudioFormat format, const std::string& lyrics,
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

}  // namespace host
