#include "tags/audio_tags.h"

#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>

#include <string>
#include <vector>

namespace host {
namespace {

// One USLT frame: language, description, text.
struct Frame {
  std::string language, description, text;
  bool operator==(const Frame&) const = default;
};

void PutLE(TagLib::ByteVector& bytes, unsigned value, int size) {
  for (int i = 0; i < size; ++i) bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A WAV file in memory, 8 kHz mono 16-bit, a tenth of a second of silence.
TagLib::ByteVector Wav() {
  TagLib::ByteVector data;
  const unsigned samples = 800;
  data.append("RIFF");
  PutLE(data, 36 + samples * 2, 4);
  data.append("WAVEfmt ");
  PutLE(data, 16, 4);
  PutLE(data, 1, 2);  // PCM
  PutLE(data, 1, 2);
  PutLE(data, 8000, 4);
  PutLE(data, 16000, 4);
  PutLE(data, 2, 2);
  PutLE(data, 16, 2);
  data.append("data");
  PutLE(data, samples * 2, 4);
  data.append(TagLib::ByteVector(samples * 2, '\0'));
  return data;
}

// The WAV with these frames in its ID3v2 tag.
TagLib::ByteVector WavWith(const std::vector<Frame>& frames) {
  TagLib::ByteVectorStream stream(Wav());
  {
    TagLib::RIFF::WAV::File file(&stream);
    for (const Frame& f : frames) {
      auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
      frame->setLanguage(TagLib::ByteVector(f.language.c_str(), 3));
      frame->setDescription(TagLib::String(f.description, TagLib::String::UTF8));
      frame->setText(TagLib::String(f.text, TagLib::String::UTF8));
      file.ID3v2Tag()->addFrame(frame);
    }
    file.save();
  }
  return *stream.data();
}

std::vector<Frame> FramesOf(TagLib::ByteVector bytes) {
  TagLib::ByteVectorStream stream(bytes);
  TagLib::RIFF::WAV::File file(&stream);
  std::vector<Frame> frames;
  for (TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameList("USLT")) {
    const auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame);
    frames.push_back({std::string(lyrics->language().data(), lyrics->language().size()),
                      lyrics->description().to8Bit(true), lyrics->text().to8Bit(true)});
  }
  return frames;
}

// Which frames are a file's lyrics (and where they were read: language, description), and
// which a store replaces: the frame without a description (in its own language, or the one
// asked for when there is none) is the song's own and is replaced; a described one (a
// translation) is another text and stays.
TEST(AudioTags, TheSongsOwnFrameIsReadAndReplacedAndOthersStay) {
  struct Case {
    const char* what;
    std::vector<Frame> before;
    std::string read;
    Frame where;               // language, description, field of the lyrics read
    std::vector<Frame> after;  // having stored "new" with the language "spa" for a new frame
  };
  const Case cases[] = {
      {"none", {}, "", {}, {{"spa", "", "new"}}},
      {"its own and a translation",
       {{"eng", "", "own"}, {"deu", "Übersetzung", "trans"}},
       "own",
       {"eng", "", "USLT"},
       {{"deu", "Übersetzung", "trans"}, {"eng", "", "new"}}},
      {"only a translation: read, and kept beside the new frame",
       {{"deu", "Übersetzung", "trans"}},
       "trans",
       {"deu", "Übersetzung", "USLT"},
       {{"deu", "Übersetzung", "trans"}, {"spa", "", "new"}}},
      {"two languages without a description: the first is replaced",
       {{"eng", "", "a"}, {"fra", "", "b"}},
       "a",
       {"eng", "", "USLT"},
       {{"fra", "", "b"}, {"eng", "", "new"}}},
      {"an empty frame is no lyrics", {{"eng", "", ""}, {"fra", "", "b"}}, "b",
       {"fra", "", "USLT"},
       {{"fra", "", "b"}, {"eng", "", "new"}}},
      {"a language of no letters is shown as none", {{"\x01\x02\x03", "", "x"}}, "x",
       {"", "", "USLT"}, {{"\x01\x02\x03", "", "new"}}},
  };
  for (const Case& c : cases) {
    TagLib::ByteVectorStream stream(WavWith(c.before));
    AudioTags tags;
    std::string error;
    ASSERT_TRUE(tags.Open(stream, AudioFormat::Wav, error)) << c.what << ": " << error;
    EXPECT_EQ(tags.Lyrics(), c.read) << c.what;
    const LyricsPlace place = tags.WhereLyrics();
    EXPECT_EQ((Frame{place.language, place.description, place.field}), c.where) << c.what;
    tags.SetLyrics("new", "spa");
    ASSERT_TRUE(tags.Save()) << c.what;
    EXPECT_EQ(FramesOf(*stream.data()), c.after) << c.what;
  }
}

// What is not audio of its format is never taken for it, whatever its name says.
TEST(AudioTags, OnlyAudioOfTheFormatOpens) {
  struct Case {
    TagLib::ByteVector bytes;
    AudioFormat format;
    bool opens;
  };
  const Case cases[] = {
      {Wav(), AudioFormat::Wav, true},
      {Wav(), AudioFormat::Flac, false},
      {TagLib::ByteVector("ID3 not an mp3, only text"), AudioFormat::Mp3, false},
      {TagLib::ByteVector(), AudioFormat::Aiff, false},
  };
  for (const Case& c : cases) {
    TagLib::ByteVectorStream stream(c.bytes);
    AudioTags tags;
    std::string error;
    EXPECT_EQ(tags.Open(stream, c.format, error), c.opens) << AudioFormatName(c.format);
    if (!c.opens) {
      EXPECT_EQ(error, std::string("not a valid ") + AudioFormatName(c.format) + " file");
    }
  }
}

}  // namespace
}  // namespace host
