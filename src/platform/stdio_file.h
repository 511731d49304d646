// The framework's buffered file class (CStdioFile) over File: the file's descriptor with a
// buffered stream on top, always in binary mode, so that nothing is translated on the way in
// or out (no line ends, no code pages). Reads, writes, seeks and positions go through the
// stream; WriteToDescriptor writes straight to the descriptor after syncing the stream, so
// that writes still reach the file in the order given.
//
// Unlike the framework, a file opened for writing without truncation is not put in append
// mode: writes go where the position is, the same for the stream and the descriptor.
//
// The object owns the stream and the descriptor and closes both when closed or destroyed. One
// thread uses an object at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/file.h"
#include "tunewell/wstring.h"

namespace platform {

class StdioFile : public File {
 public:
  StdioFile() = default;
  ~StdioFile() override;

  // Opens the file as File does and puts the stream on it. False on failure, with *error
  // (when given) describing it.
  bool Open(const WString& path, std::uint32_t flags, FileError* error = nullptr) override;
  // Flushes and closes the stream, then the file. Never throws; a failed flush is lost.
  void Close() noexcept override;

  // Through the stream. Read returns the number of bytes read (0 at the end); Read, Write and
  // Seek throw FileError on failure.
  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::uint64_t Seek(std::int64_t offset, int origin) override;
  // The stream's position (pending writes and read-ahead accounted for). Throws FileError.
  std::uint64_t GetPosition() const;
  // The file's length with pending writes flushed. Throws FileError.
  std::uint64_t GetLength();
  // Writes pending stream data to the file. Throws FileError on failure.
  void Flush();

  // Reads one line of bytes, as fgets does: up to capacity - 1 bytes, stopping after the first
  // line feed, then a terminator. Returns the number of bytes read (embedded zero bytes
  // included); 0 at the end of the file, on a read error or for a capacity below 2 (a
  // capacity of 1 still gets its terminator).
  std::size_t ReadLine(char* buffer, std::size_t capacity);
  // The same in UTF-16 code units, each read as two bytes, little-endian; a lone last byte is
  // not a unit and is dropped.
  std::size_t ReadLine(char16_t* buffer, std::size_t capacity);

  // The framework's ReadString(buffer, max): a line of at most max - 1 units, its line feed
  // kept, terminated; null at the end of the file.
  virtual char16_t* ReadString(char16_t* buffer, std::uint32_t max);
  // The framework's ReadString(text): the next line without its line feed (a carriage return
  // before it stays: the stream is binary). False at the end of the file, with text empty.
  virtual bool ReadString(WString& text);
  // Writes the text's UTF-16 units (up to its terminator), little-endian, through the stream.
  // Throws FileError on failure.
  virtual void WriteString(const char16_t* text);

 protected:
  // Writes straight to the descriptor, at the stream's position. Throws FileError on failure.
  void WriteToDescriptor(const void* buffer, std::size_t count);

 private:
  // Throws the FileError of the stream call that just failed and clears the stream's error.
  [[noreturn]] void ThrowStreamError();

  std::FILE* stream_ = nullptr;
};

}  // namespace platform
