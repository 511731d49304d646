#include "tags/audio_format.h"

#include <string_view>

namespace host {
namespace {

struct ExtensionRow {
  std::string_view extension;  // lower case, with the dot
  AudioFormat format;
};

constexpr ExtensionRow kExtensions[] = {
    {".mp3", AudioFormat::Mp3},       {".wav", AudioFormat::Wav},
    {".aif", AudioFormat::Aiff},      {".aiff", AudioFormat::Aiff},
    {".flac", AudioFormat::Flac},     {".ogg", AudioFormat::OggVorbis},
    {".oga", AudioFormat::OggVorbis}, {".opus", AudioFormat::OggOpus},
    {".m4a", AudioFormat::Mp4},       {".m4b", AudioFormat::Mp4},
    {".mp4", AudioFormat::Mp4},
};

struct NameRow {
  AudioFormat format;
  const char* name;
};

constexpr NameRow kNames[] = {
    {AudioFormat::Mp3, "MP3"},         {AudioFormat::Wav, "WAV"},
    {AudioFormat::Aiff, "AIFF"},       {AudioFormat::Flac, "FLAC"},
    {AudioFormat::OggVorbis, "Ogg Vorbis"}, {AudioFormat::OggOpus, "Ogg Opus"},
    {AudioFormat::Mp4, "MP4"},
};

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::optional<AudioFormat> AudioFormatOf(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  const std::size_t slash = fileName.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  const std::string extension = LowerAscii(fileName.substr(dot));
  for (const ExtensionRow& row : kExtensions) {
    if (row.extension == extension) return row.format;
  }
  return {};
}

const char* AudioFormatName(AudioFormat format) {
  for (const NameRow& row : kNames) {
    if (row.format == format) return row.name;
  }
  return "audio";
}

std::string AudioExtensions() {
  std::string text;
  for (const ExtensionRow& row : kExtensions) {
    if (!text.empty()) text += ' ';
    text += row.extension;
  }
  return text;
}

}  // namespace host
