// CStdioFileEx: a line-oriented text file holding wide text either as UTF-16 little-endian
// with a byte-order mark (Unicode files) or as bytes in the system's ANSI code page (ANSI
// files). A file opened for reading is recognised as Unicode by its mark FF FE, which the lines
// it returns never show; a new Unicode file gets the mark with its first write. Lines of any
// length are read whole; ANSI lines go through the file-text conversions.
//
// Built on the framework's buffered file class: closing, positions, raw reads and the file name
// are the base's. The stream is always binary: this class does all text handling itself.
// WriteString writes straight to the descriptor. Nothing here writes to the trace log (the log
// merge uses this class). The object owns its file; one thread uses it at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/stdio_file.h"
#include "tunewell/wstring.h"

class CStdioFileEx : public platform::StdioFile {
 public:
  // The file holds UTF-16 text: WriteString writes UTF-16 and a byte-order mark.
  static constexpr std::uint32_t modeUnicode = 0x200000;
  // Units of the inline line buffers; longer lines use a heap buffer for one operation.
  static constexpr std::size_t kLineBufferSize = 4096;

  CStdioFileEx() = default;

  // Opens the file in binary mode (typeText is replaced by typeBinary). A file opened for
  // writing or creation takes its encoding from modeUnicode; any other file from its first two
  // bytes: Unicode exactly when they are FF FE. 0 on failure, with *error describing it.
  bool Open(const WString& path, std::uint32_t flags,
            platform::FileError* error = nullptr) override;

  // Seeks as the base does; a later ReadString at position 0 skips the mark again. Throws
  // platform::FileError on failure.
  std::uint64_t Seek(std::int64_t offset, int origin) override;

  // Reads the next line without its line feed and without one carriage return directly before
  // it. At position 0 of a Unicode file the mark is skipped first. False at the end of the file
  // or on a read error, with text empty. An ANSI line the code page cannot convert comes back
  // empty (true).
  bool ReadString(WString& text) override;
  using platform::StdioFile::ReadString;  // (buffer, max): the base's

  // Writes the text (up to its terminator) unchanged, no line end added: UTF-16 little-endian
  // when the file was opened with modeUnicode, preceded by FF FE when written at position 0;
  // otherwise in the ANSI code page, characters it lacks written as "#". Throws
  // platform::FileError when the write fails.
  void WriteString(const char16_t* text) override;
  // The same for a whole string; embedded NULs are written to a Unicode file, and end the
  // text of an ANSI one.
  void WriteString(const WString& text);

  bool IsUnicode() const { return isUnicode; }
  // The flags as actually used by the last Open.
  std::uint32_t OpenFlags() const { return openFlags; }

 private:
  void WriteUnits(const char16_t* text, std::size_t count);
  void SkipByteOrderMark();

  bool isUnicode = false;
  std::uint32_t openFlags = 0;
  int fileCodePage = -1;          // -1: the system ANSI code page
  char replacementChar = '#';
  bool writeBom = true;
  char16_t wideLine[kLineBufferSize] = {};
  char byteLine[kLineBufferSize] = {};
  bool atStart = true;
};
