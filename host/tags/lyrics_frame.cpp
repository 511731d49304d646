#include "tags/lyrics_frame.h"

#include "tags/store/field_codec.h"

namespace host {
namespace {

constexpr std::size_t kFieldsPerFrame = 4;

}  // namespace

bool IsSongsOwn(const LyricsFrame& frame) {
  return frame.field != "USLT" || frame.description.empty();
}

std::string SongsOwnLyrics(const std::vector<LyricsFrame>& frames) {
  for (const LyricsFrame& frame : frames) {
    if (IsSongsOwn(frame) && !frame.text.empty()) return frame.text;
  }
  return {};
}

// The number of frames, then all their fields in one packing.
std::string PackLyricsFrames(const std::vector<LyricsFrame>& frames) {
  std::vector<std::string> fields;
  for (const LyricsFrame& frame : frames) {
    fields.insert(fields.end(), {frame.field, frame.language, frame.description, frame.text});
  }
  return PackFields({std::to_string(frames.size()), PackFields(fields)});
}

bool UnpackLyricsFrames(const std::string& packed, std::vector<LyricsFrame>& frames) {
  frames.clear();
  std::vector<std::string> outer, fields;
  if (!UnpackFields(packed, 2, outer) || outer[0].empty() || outer[0].size() > 9 ||
      outer[0].find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const std::size_t count = std::stoul(outer[0]);
  if (!UnpackFields(outer[1], count * kFieldsPerFrame, fields)) return false;
  for (std::size_t i = 0; i < fields.size(); i += kFieldsPerFrame) {
    frames.push_back({fields[i], fields[i + 1], fields[i + 2], fields[i + 3]});
  }
  return true;
}

}  // namespace host
