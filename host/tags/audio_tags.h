// One audio file's tags through TagLib, with the knowledge of where each format keeps its
// lyrics: ID3v2 USLT for MP3, WAV and AIFF; the Vorbis comment LYRICS for FLAC, Ogg Vorbis and
// Ogg Opus (UNSYNCEDLYRICS is read too); the iTunes-style item ©lyr for MP4. The file is read
// through a stream the caller owns (the file itself, or its bytes in memory) and written back
// into that stream only. One object, one thread.
#pragma once

#include <memory>
#include <string>

#include "tags/audio_format.h"

namespace TagLib {
class File;
class IOStream;
}  // namespace TagLib

namespace host {

// Where a file's lyrics sit, for a person to see: the field ("USLT", "LYRICS", "UNSYNCEDLYRICS",
// "\xC2\xA9lyr") and, for an ID3v2 frame, its language and description. All empty without lyrics.
struct LyricsPlace {
  std::string field;
  std::string language;
  std::string description;
};

class AudioTags {
 public:
  AudioTags();
  ~AudioTags();
  AudioTags(const AudioTags&) = delete;
  AudioTags& operator=(const AudioTags&) = delete;

  // Reads the stream as the format. False with "not a valid FLAC file" (and so on) when TagLib
  // cannot read it as that format or finds no audio in it: such a file is never written.
  bool Open(TagLib::IOStream& stream, AudioFormat format, std::string& error);

  // UTF-8 texts; empty when the tag has none.
  std::string Artist() const;
  std::string Title() const;
  // The stored lyrics: the first USLT frame without a description, else the first with one;
  // LYRICS, else UNSYNCEDLYRICS; ©lyr.
  std::string Lyrics() const;
  // Where the lyrics Lyrics() returns are.
  LyricsPlace WhereLyrics() const;

  // Stores the text as the file's lyrics. ID3v2: the USLT frame with an empty description in
  // the language of the first such frame, else `newLanguage`, replaces that one alone (frames of other
  // languages or with a description, a translation say, stay); the tag keeps its version (2.3
  // or 2.4; a new tag is 2.4). Vorbis comments: LYRICS, and UNSYNCEDLYRICS removed. MP4: ©lyr.
  void SetLyrics(const std::string& text, const std::string& newLanguage = "eng");
  // Writes the tags into the stream, leaving the other tag kinds of the file as they are.
  bool Save();

 private:
  AudioFormat format_ = AudioFormat::Mp3;
  std::unique_ptr<TagLib::File> file_;
};

}  // namespace host
