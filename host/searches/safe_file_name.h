// File names for the lyrics a batch writes: "ARTIST - TITLE.txt", made safe for the file
// system and for copying to other ones. Characters that a path or a Windows/FAT volume would
// read specially (/ \ : * ? " < > | and control characters) become "_"; a leading dot (a
// hidden file, or ".." climbing out of the folder) becomes "_"; trailing dots and blanks go;
// the name is cut at a character boundary to fit 255 bytes with its extension.
// Pure functions; any thread.
#pragma once

#include <string>

namespace host {

// The safe form of one name part; never empty ("_" for an empty or wholly unsafe part).
std::string SafeNamePart(const std::string& text);
// "ARTIST - TITLE<suffix>.txt" from safe parts, at most 255 bytes (the stem is cut, never
// the suffix, which tells apart two songs with one name, such as " (2)").
std::string LyricsFileName(const std::string& artist, const std::string& title,
                           const std::string& suffix = "");

}  // namespace host
