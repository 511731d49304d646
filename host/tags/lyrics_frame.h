// One lyrics text a music file holds, as show lists it and tag judges it: the place that keeps
// it (the ID3v2 frame USLT, the Vorbis comment LYRICS or UNSYNCEDLYRICS, the MP4 item ©lyr),
// a USLT frame's language and description, and the text. What counts as a song's own lyrics is
// decided here alone, so that tag's skip and show's answer never differ. Pure functions; any
// thread.
#pragma once

#include <string>
#include <vector>

namespace host {

struct LyricsFrame {
  std::string field;        // "USLT", "LYRICS", "UNSYNCEDLYRICS" or "©lyr" (UTF-8)
  std::string language;     // USLT: its language code as stored; empty elsewhere
  std::string description;  // USLT: its description; empty when none, and elsewhere
  std::string text;         // never empty: a frame without text holds no lyrics
  bool operator==(const LyricsFrame&) const = default;
};

// A song's own lyrics are any text but a USLT frame with a description: such a frame (a
// translation, a commentary) is another text beside them, and a file holding only that has
// no lyrics of its own.
bool IsSongsOwn(const LyricsFrame& frame);
// The text of the first frame that holds the song's own lyrics; empty when none does.
std::string SongsOwnLyrics(const std::vector<LyricsFrame>& frames);

// The frames as one string and back, for the tag worker's answer (tags/store/field_codec.h).
// Unpacking fails on anything that is not such a packing.
std::string PackLyricsFrames(const std::vector<LyricsFrame>& frames);
bool UnpackLyricsFrames(const std::string& packed, std::vector<LyricsFrame>& frames);

}  // namespace host
