#include "tags/audio_format.h"

#include <gtest/gtest.h>

namespace host {
namespace {

// The format by the name's extension, in any case; a name that only looks like one is none.
TEST(AudioFormat, TheExtensionSaysTheFormatInAnyCase) {
  struct Case {
    const char* name;
    std::optional<AudioFormat> format;
  };
  const Case cases[] = {
      {"a.mp3", AudioFormat::Mp3},          {"WHISTLE STOP.MP3", AudioFormat::Mp3},
      {"x.Flac", AudioFormat::Flac},        {"b.aif", AudioFormat::Aiff},
      {"b.aiff", AudioFormat::Aiff},        {"c.oga", AudioFormat::OggVorbis},
      {"d.opus", AudioFormat::OggOpus},     {"book.m4b", AudioFormat::Mp4},
      {"dir.mp3/song.wav", AudioFormat::Wav},
      {"a.mp3.txt", std::nullopt},          {"mp3", std::nullopt},
      {"a.mp", std::nullopt},               {"noext", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(AudioFormatOf(c.name), c.format) << c.name;
}

}  // namespace
}  // namespace host
