// One audio file's tags through TagLib, with the knowledge of where each format keeps its
// lyrics: ID3v2 USLT for MP3, WAV and AIFF; the Vorbis comment LYRICS for FLAC, Ogg Vorbis and
// Ogg Opus (UNSYNCEDLYRICS is read too); the iTunes-style item ©lyr for MP4. Which of these
// texts are a song's own lyrics is tags/lyrics_frame.h's rule. The file is read through a
// stream the caller owns (the file itself, or its bytes in memory) and written back into that
// stream only. One object, one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tags/audio_format.h"
#include "tags/lyrics_frame.h"

namespace TagLib {
class File;
class IOStream;
}  // namespace TagLib

namespace host {

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
  // Every lyrics text the file holds, none empty: the USLT frames without a description
  // first, then those with one; LYRICS, then UNSYNCEDLYRICS; ©lyr. Each in the tag's order.
  std::vector<LyricsFrame> Frames() const;
  // The song's own lyrics (SongsOwnLyrics of the frames); empty when the file holds none.
  std::string Lyrics() const;

  // Stores the text as the file's lyrics. ID3v2: the USLT frame with an empty description in
  // the language of the first such frame, else `newLanguage`, replaces that one alone (frames
  // of other languages or with a description, a translation say, stay, after it, so that it is
  // the one read); the tag keeps its version (2.3 or 2.4; a new tag is 2.4). Vorbis comments:
  // LYRICS, and UNSYNCEDLYRICS removed. MP4: ©lyr.
  void SetLyrics(const std::string& text, const std::string& newLanguage = "eng");
  // Writes the tags into the stream, leaving the other tag kinds of the file as they are. An
  // MP3 that had an ID3v1 tag and no ID3v2 tag gets the v1 tag's title, artist, album, year,
  // track and genre in its new v2 tag too: a player that reads v2 once there is one would
  // otherwise show none of them. The v1 tag stays as it was.
  bool Save();

 private:
  AudioFormat format_ = AudioFormat::Mp3;
  std::unique_ptr<TagLib::File> file_;
};

}  // namespace host
