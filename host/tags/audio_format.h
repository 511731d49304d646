// The audio formats `tunewell tag` and `show` handle, told by the file name's extension
// (case-insensitive), and where each keeps its lyrics. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>

namespace host {

enum class AudioFormat { Mp3, Wav, Aiff, Flac, OggVorbis, OggOpus, Mp4 };

// The format of a file by its name's extension; none for any other extension.
std::optional<AudioFormat> AudioFormatOf(const std::string& fileName);
// "MP3", "FLAC", ...: for messages such as "not a valid FLAC file".
const char* AudioFormatName(AudioFormat format);
// The extensions handled, for --help and messages: ".mp3 .wav ...".
std::string AudioExtensions();

}  // namespace host
