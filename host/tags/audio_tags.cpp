#include "tags/audio_tags.h"

#include <taglib/aifffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <vector>

namespace host {
namespace {

using TagLib::String;

constexpr auto kReadStyle = TagLib::AudioProperties::Fast;
const char* const kMp4Lyrics = "\251lyr";  // the key, in TagLib's Latin-1
const char* const kMp4Lyrics8 = "\xC2\xA9lyr";  // its name in UTF-8, for show

std::string Utf8(const String& text) { return text.to8Bit(true); }
String FromUtf8(const std::string& text) { return String(text, String::UTF8); }

// --- ID3v2 (MP3, WAV, AIFF) ---

TagLib::ID3v2::Tag* Id3v2Of(TagLib::File& file, AudioFormat format) {
  switch (format) {
    case AudioFormat::Mp3:
      return static_cast<TagLib::MPEG::File&>(file).ID3v2Tag(true);
    case AudioFormat::Wav:
      return static_cast<TagLib::RIFF::WAV::File&>(file).ID3v2Tag();
    case AudioFormat::Aiff:
      return static_cast<TagLib::RIFF::AIFF::File&>(file).tag();
    default:
      return nullptr;
  }
}

// The USLT frames with an empty description come first: they hold a song's own lyrics; one
// with a description (a translation, say) is another text beside them.
std::vector<TagLib::ID3v2::UnsynchronizedLyricsFrame*> LyricsFrames(TagLib::ID3v2::Tag& tag) {
  std::vector<TagLib::ID3v2::UnsynchronizedLyricsFrame*> plain, described;
  for (TagLib::ID3v2::Frame* frame : tag.frameList("USLT")) {
    if (auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
      (lyrics->description().isEmpty() ? plain : described).push_back(lyrics);
    }
  }
  plain.insert(plain.end(), described.begin(), described.end());
  return plain;
}

// A language code as stored: three bytes, which a careless writer leaves as NULs.
std::string LanguageText(const TagLib::ByteVector& language) {
  std::string text(language.data(), language.size());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void AddId3v2Frames(TagLib::ID3v2::Tag& tag, std::vector<LyricsFrame>& frames) {
  for (const auto* frame : LyricsFrames(tag)) {
    const std::string text = Utf8(frame->text());
    if (!text.empty()) {
      frames.push_back({"USLT", LanguageText(frame->language()), Utf8(frame->description()), text});
    }
  }
}

// The language of the frame the lyrics replace: the first without a description; for a new
// frame, the one asked for.
TagLib::ByteVector LyricsLanguage(TagLib::ID3v2::Tag& tag, const std::string& newLanguage) {
  for (const auto* frame : LyricsFrames(tag)) {
    if (frame->description().isEmpty() && frame->language().size() == 3) return frame->language();
  }
  return TagLib::ByteVector(newLanguage.data(), static_cast<unsigned>(newLanguage.size()));
}

bool IsId3v23(TagLib::ID3v2::Tag& tag) { return tag.header()->majorVersion() == 3; }

TagLib::ID3v2::Version VersionToWrite(TagLib::ID3v2::Tag& tag) {
  return IsId3v23(tag) ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
}

void SetId3v2Lyrics(TagLib::ID3v2::Tag& tag, const String& text, const std::string& newLanguage) {
  const TagLib::ByteVector language = LyricsLanguage(tag, newLanguage);
  // Only the frame of this language without a description is replaced: a translation or any
  // other described text beside it is the user's and stays. The others are taken out and put
  // back after the new frame, in their order, so that the lyrics stored are the ones read
  // first (an undescribed frame in another language would be otherwise).
  std::vector<TagLib::ID3v2::UnsynchronizedLyricsFrame*> others;
  for (auto* frame : LyricsFrames(tag)) {
    const bool replaced = frame->description().isEmpty() && frame->language() == language;
    tag.removeFrame(frame, replaced);
    if (!replaced) others.push_back(frame);
  }
  // ID3v2.3 knows no UTF-8.
  auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(IsId3v23(tag) ? String::UTF16
                                                                            : String::UTF8);
  frame->setLanguage(language);
  frame->setDescription(String());
  frame->setText(text);
  tag.addFrame(frame);  // the tag owns it, and each of the others again
  for (auto* other : others) tag.addFrame(other);
}

// An MP3 whose only tag was ID3v1 is about to get an ID3v2 tag: it carries what v1 says, as
// a player that finds v2 reads v1 no more. Not TagLib's own duplication, which would also fill
// the gaps of an existing v2 tag from v1 and copy v1's comment, often an encoder's note.
void FillFromId3v1(TagLib::MPEG::File& mp3) {
  if (mp3.hasID3v2Tag() || !mp3.hasID3v1Tag()) return;
  const TagLib::ID3v1::Tag& v1 = *mp3.ID3v1Tag();
  TagLib::ID3v2::Tag& v2 = *mp3.ID3v2Tag(true);
  v2.setTitle(v1.title());
  v2.setArtist(v1.artist());
  v2.setAlbum(v1.album());
  v2.setYear(v1.year());
  v2.setTrack(v1.track());
  v2.setGenre(v1.genre());
}

// --- Vorbis comments (FLAC, Ogg Vorbis, Ogg Opus) ---

TagLib::Ogg::XiphComment* XiphOf(TagLib::File& file, AudioFormat format) {
  switch (format) {
    case AudioFormat::Flac:
      return static_cast<TagLib::FLAC::File&>(file).xiphComment(true);
    case AudioFormat::OggVorbis:
      return static_cast<TagLib::Ogg::Vorbis::File&>(file).tag();
    case AudioFormat::OggOpus:
      return static_cast<TagLib::Ogg::Opus::File&>(file).tag();
    default:
      return nullptr;
  }
}

void AddXiphFrames(TagLib::Ogg::XiphComment& comment, std::vector<LyricsFrame>& frames) {
  for (const char* field : {"LYRICS", "UNSYNCEDLYRICS"}) {
    const TagLib::StringList values = comment.fieldListMap()[field];
    for (const String& value : values) {
      if (!value.isEmpty()) frames.push_back({field, "", "", Utf8(value)});
    }
  }
}

void SetXiphLyrics(TagLib::Ogg::XiphComment& comment, const String& text) {
  comment.removeFields("UNSYNCEDLYRICS");
  comment.addField("LYRICS", text, true);
}

// --- the formats ---

struct FormatRow {
  AudioFormat format;
  TagLib::File* (*open)(TagLib::IOStream&);
};

const FormatRow kFormats[] = {
    {AudioFormat::Mp3,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::MPEG::File(&s, TagLib::ID3v2::FrameFactory::instance(), true,
                                     kReadStyle);
     }},
    {AudioFormat::Wav,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::RIFF::WAV::File(&s, true, kReadStyle);
     }},
    {AudioFormat::Aiff,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::RIFF::AIFF::File(&s, true, kReadStyle);
     }},
    {AudioFormat::Flac,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::FLAC::File(&s, TagLib::ID3v2::FrameFactory::instance(), true,
                                     kReadStyle);
     }},
    {AudioFormat::OggVorbis,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::Ogg::Vorbis::File(&s, true, kReadStyle);
     }},
    {AudioFormat::OggOpus,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::Ogg::Opus::File(&s, true, kReadStyle);
     }},
    {AudioFormat::Mp4,
     [](TagLib::IOStream& s) -> TagLib::File* {
       return new TagLib::MP4::File(&s, true, kReadStyle);
     }},
};

// TagLib takes many a non-audio file for a tagless MP3; one without a readable audio stream
// is not a music file to write into. An Ogg file cut inside its header packets still shows a
// sample rate, but no page with a sample position: rewriting its headers would drop the cut
// packet's bytes.
bool HoldsAudio(TagLib::File& file, AudioFormat format) {
  const TagLib::AudioProperties* properties = file.audioProperties();
  if (!file.isValid() || properties == nullptr || properties->sampleRate() <= 0) return false;
  const bool ogg = format == AudioFormat::OggVorbis || format == AudioFormat::OggOpus;
  return !ogg || properties->lengthInMilliseconds() > 0;
}

}  // namespace

AudioTags::AudioTags() = default;
AudioTags::~AudioTags() = default;

bool AudioTags::Open(TagLib::IOStream& stream, AudioFormat format, std::string& error) {
  format_ = format;
  file_.reset();
  for (const FormatRow& row : kFormats) {
    if (row.format == format) file_.reset(row.open(stream));
  }
  if (file_ && HoldsAudio(*file_, format)) return true;
  file_.reset();
  error = std::string("not a valid ") + AudioFormatName(format) + " file";
  return false;
}

std::string AudioTags::Artist() const {
  return file_ && file_->tag() ? Utf8(file_->tag()->artist()) : std::string();
}

std::string AudioTags::Title() const {
  return file_ && file_->tag() ? Utf8(file_->tag()->title()) : std::string();
}

std::vector<LyricsFrame> AudioTags::Frames() const {
  std::vector<LyricsFrame> frames;
  if (!file_) return frames;
  if (TagLib::ID3v2::Tag* tag = Id3v2Of(*file_, format_)) {
    AddId3v2Frames(*tag, frames);
  } else if (TagLib::Ogg::XiphComment* comment = XiphOf(*file_, format_)) {
    AddXiphFrames(*comment, frames);
  } else if (format_ == AudioFormat::Mp4) {
    auto& mp4 = static_cast<TagLib::MP4::File&>(*file_);
    if (mp4.tag() == nullptr || !mp4.tag()->contains(kMp4Lyrics)) return frames;
    for (const String& value : mp4.tag()->item(kMp4Lyrics).toStringList()) {
      if (!value.isEmpty()) frames.push_back({kMp4Lyrics8, "", "", Utf8(value)});
    }
  }
  return frames;
}

std::string AudioTags::Lyrics() const { return SongsOwnLyrics(Frames()); }

void AudioTags::SetLyrics(const std::string& text, const std::string& newLanguage) {
  if (!file_) return;
  const String lyrics = FromUtf8(text);
  if (TagLib::ID3v2::Tag* tag = Id3v2Of(*file_, format_)) {
    SetId3v2Lyrics(*tag, lyrics, newLanguage);
  } else if (TagLib::Ogg::XiphComment* comment = XiphOf(*file_, format_)) {
    SetXiphLyrics(*comment, lyrics);
  } else if (format_ == AudioFormat::Mp4) {
    static_cast<TagLib::MP4::File&>(*file_).tag()->setItem(kMp4Lyrics,
                                                          TagLib::StringList(lyrics));
  }
}

bool AudioTags::Save() {
  if (!file_) return false;
  switch (format_) {
    case AudioFormat::Mp3: {
      // Only the ID3v2 tag: no ID3v1 or APE tag is added, stripped or copied into.
      auto& mp3 = static_cast<TagLib::MPEG::File&>(*file_);
      FillFromId3v1(mp3);
      return mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                      VersionToWrite(*mp3.ID3v2Tag(true)), TagLib::File::DoNotDuplicate);
    }
    case AudioFormat::Wav: {
      auto& wav = static_cast<TagLib::RIFF::WAV::File&>(*file_);
      return wav.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripNone,
                      VersionToWrite(*wav.ID3v2Tag()));
    }
    case AudioFormat::Aiff: {
      auto& aiff = static_cast<TagLib::RIFF::AIFF::File&>(*file_);
      return aiff.save(VersionToWrite(*aiff.tag()));
    }
    default:
      return file_->save();
  }
}

}  // namespace host
