#include "tags/audio_tags.h"

#include <gtest/gtest.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>

#include <ostream>
#include <string>
#include <vector>

namespace host {
namespace {

// One USLT frame: language, description, text.
struct Frame {
  std::string language, description, text;
  bool operator==(const Frame&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Frame& f) {
    return out << f.language << " \"" << f.description << "\" " << f.text;
  }
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

// Which frames are a file's lyrics, and which a store replaces: the frame without a
// description (in its own language, or the one asked for when there is none) is the song's own
// and is replaced, and is then the one read; a described one (a translation) is another text:
// it stays, and alone it is no lyrics.
TEST(AudioTags, TheSongsOwnFrameIsReadAndReplacedAndOthersStay) {
  struct Case {
    const char* what;
    std::vector<Frame> before;
    std::string read;
    std::vector<Frame> frames;  // as listed: the song's own first, none empty
    std::vector<Frame> after;   // having stored "new" with the language "spa" for a new frame
  };
  const Case cases[] = {
      {"none", {}, "", {}, {{"spa", "", "new"}}},
      {"its own and a translation",
       {{"eng", "", "own"}, {"deu", "Übersetzung", "trans"}},
       "own",
       {{"eng", "", "own"}, {"deu", "Übersetzung", "trans"}},
       {{"eng", "", "new"}, {"deu", "Übersetzung", "trans"}}},
      {"two languages without a description: the first is replaced",
       {{"eng", "", "a"}, {"fra", "", "b"}},
       "a",
       {{"eng", "", "a"}, {"fra", "", "b"}},
       {{"eng", "", "new"}, {"fra", "", "b"}}},
      {"an empty frame is no lyrics",
       {{"eng", "", ""}, {"fra", "", "b"}},
       "b",
       {{"fra", "", "b"}},
       {{"eng", "", "new"}, {"fra", "", "b"}}},
      {"a translation alone is not the song's lyrics",
       {{"deu", "Übersetzung", "trans"}, {"eng", "Kommentar", "note"}},
       "",
       {{"deu", "Übersetzung", "trans"}, {"eng", "Kommentar", "note"}},
       {{"spa", "", "new"}, {"deu", "Übersetzung", "trans"}, {"eng", "Kommentar", "note"}}},
  };
  for (const Case& c : cases) {
    TagLib::ByteVectorStream stream(WavWith(c.before));
    AudioTags tags;
    std::string error;
    ASSERT_TRUE(tags.Open(stream, AudioFormat::Wav, error)) << c.what << ": " << error;
    EXPECT_EQ(tags.Lyrics(), c.read) << c.what;
    std::vector<Frame> listed;
    for (const LyricsFrame& frame : tags.Frames()) {
      EXPECT_EQ(frame.field, "USLT") << c.what;
      listed.push_back({frame.language, frame.description, frame.text});
    }
    EXPECT_EQ(listed, c.frames) << c.what;
    tags.SetLyrics("new", "spa");
    ASSERT_TRUE(tags.Save()) << c.what;
    EXPECT_EQ(FramesOf(*stream.data()), c.after) << c.what;
    TagLib::ByteVectorStream stored(*stream.data());
    AudioTags again;
    ASSERT_TRUE(again.Open(stored, AudioFormat::Wav, error)) << c.what;
    EXPECT_EQ(again.Lyrics(), "new") << c.what;  // what the store's read-back check asks
  }
}

// The tags of an MP3 that ID3v1 and ID3v2 can both hold.
struct Mp3Tags {
  std::string title, artist, album;
  unsigned year = 0, track = 0;
  std::string genre;
  bool operator==(const Mp3Tags&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Mp3Tags& t) {
    return out << t.title << " / " << t.artist << " / " << t.album << " / " << t.year << " / "
               << t.track << " / " << t.genre;
  }
};

TagLib::ByteVector Padded(const std::string& text, unsigned size) {
  std::string field = text;
  field.resize(size, '\0');
  return TagLib::ByteVector(field.data(), size);
}

// An MP3 in memory: silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz), with an ID3v1.1
// tag (Latin-1) after them and, when `v2Title` is given, an ID3v2 tag holding that title.
TagLib::ByteVector Mp3(const Mp3Tags& v1, const std::string& v2Title) {
  TagLib::ByteVector data;
  for (int i = 0; i < 20; ++i) {
    data.append(TagLib::ByteVector("\xFF\xFB\x90\x64", 4));
    data.append(TagLib::ByteVector(413, '\0'));
  }
  data.append(TagLib::ByteVector("TAG", 3));
  data.append(Padded(v1.title, 30));
  data.append(Padded(v1.artist, 30));
  data.append(Padded(v1.album, 30));
  data.append(Padded(std::to_string(v1.year), 4));
  data.append(Padded("", 29));  // the comment, and the zero byte before the track
  data.append(static_cast<char>(v1.track));
  data.append(static_cast<char>(17));  // Rock
  if (v2Title.empty()) return data;
  TagLib::ByteVectorStream stream(data);
  {
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
    file.ID3v2Tag(true)->setTitle(TagLib::String(v2Title, TagLib::String::UTF8));
    file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
              TagLib::File::DoNotDuplicate);
  }
  return *stream.data();
}

// An MP3 tagged only in ID3v1 gets an ID3v2 tag with its lyrics: a player reads v2 alone once
// there is one, so the new tag carries what v1 said (v1 stays, byte for byte). A v2 tag the
// file had is its own: nothing of v1 is copied into it.
TEST(AudioTags, AnMp3TaggedOnlyInId3v1KeepsItsTagsInTheNewId3v2Tag) {
  const Mp3Tags v1{"Whistle Stop \xE9t\xE9", "Kestrel", "Rain", 1999, 7, "Rock"};
  struct Case {
    std::string v2Title;
    Mp3Tags v2After;
  };
  const Case cases[] = {
      {"", {"Whistle Stop été", "Kestrel", "Rain", 1999, 7, "Rock"}},
      {"Its own", {"Its own", "", "", 0, 0, ""}},
  };
  for (const Case& c : cases) {
    const TagLib::ByteVector before = Mp3(v1, c.v2Title);
    TagLib::ByteVectorStream stream(before);
    AudioTags tags;
    std::string error;
    ASSERT_TRUE(tags.Open(stream, AudioFormat::Mp3, error)) << error;
    tags.SetLyrics("new");
    ASSERT_TRUE(tags.Save());
    const TagLib::ByteVector after = *stream.data();
    EXPECT_EQ(after.mid(after.size() - 128), before.mid(before.size() - 128)) << c.v2Title;
    TagLib::ByteVectorStream saved(after);
    TagLib::MPEG::File file(&saved, TagLib::ID3v2::FrameFactory::instance());
    ASSERT_TRUE(file.hasID3v2Tag());
    const TagLib::ID3v2::Tag& v2 = *file.ID3v2Tag();
    EXPECT_EQ((Mp3Tags{v2.title().to8Bit(true), v2.artist().to8Bit(true),
                       v2.album().to8Bit(true), v2.year(), v2.track(), v2.genre().to8Bit(true)}),
              c.v2After)
        << c.v2Title;
    AudioTags again;
    ASSERT_TRUE(again.Open(saved, AudioFormat::Mp3, error)) << error;
    EXPECT_EQ(again.Lyrics(), "new");
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
