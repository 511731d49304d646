// The framework's file class (CFile) over the system's file handle (a POSIX file descriptor,
// or a Windows file handle): open with the framework's mode flags, raw reads and writes,
// positions, and the file error (CFileException) carrying a Windows error number. One object
// is used by one thread at a time; it closes its file when destroyed. Paths are wide text; on
// POSIX they reach the file system as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "tunewell/wstring.h"

namespace platform {

// A failed file operation: the Windows error number, its English text and the file's path.
class FileError : public std::exception {
 public:
  FileError() = default;
  FileError(std::uint32_t code, WString path);

  std::uint32_t Code() const { return code_; }
  const WString& Path() const { return path_; }
  // The error's message text (ErrorText of the code; empty for an unknown code).
  WString Message() const;
  // The message cut to at most maxChars characters, as the framework's GetErrorMessage does.
  WString Message(std::size_t maxChars) const;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::uint32_t code_ = 0;
  WString path_;
  std::string what_;
};

class File {
 public:
  // The framework's open flags.
  enum OpenFlags : std::uint32_t {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
    // Not one of the framework's flags: refuses anything but a regular file on a disk's file
    // system (error 5). A FIFO or a device is opened without waiting on it and closed again,
    // and on POSIX so is a file of the kernel's own file systems (/proc, /sys): a log appended
    // there would change the machine, not keep a record. Nor, on POSIX, is a symbolic link
    // followed that another user made to a file not theirs.
    regularFileOnly = 0x01000000,
  };
  enum SeekPosition : int { begin = 0, current = 1, end = 2 };

  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File();

  // Opens the file. modeCreate creates it (truncating unless modeNoTruncate); without it the
  // file must exist. The share flags hold as on Windows for every open made through this
  // class, in this process or another, for as long as the file stays open (the compatibility
  // mode counts as exclusive, as in the framework): an open that clashes with one already
  // there fails with the sharing violation (32) and changes nothing. Programs that open the
  // file otherwise are not held back. False on failure, with *error (when given) describing it.
  virtual bool Open(const WString& path, std::uint32_t flags, FileError* error = nullptr);
  // Closes the file if open. Never throws.
  virtual void Close() noexcept;
  bool IsOpen() const { return handle_ != kNoHandle; }

  // Reads up to count bytes; the number read, 0 at the end. Throws FileError on failure.
  virtual std::size_t Read(void* buffer, std::size_t count);
  // Writes all count bytes. Throws FileError on failure (a full disk included).
  virtual void Write(const void* buffer, std::size_t count);
  // Moves the position; the new position. Throws FileError on failure.
  virtual std::uint64_t Seek(std::int64_t offset, int origin);
  std::uint64_t SeekToEnd() { return Seek(0, end); }
  std::uint64_t GetPosition() const;
  std::uint64_t GetLength() const;
  // Cuts or extends the file to length bytes; the position stays. Throws FileError on failure.
  void SetLength(std::uint64_t length);

  const WString& GetFilePath() const { return path_; }
  // The file's name without its folder.
  WString GetFileName() const;

  // Deletes a file. Throws FileError on failure.
  static void Remove(const WString& path);
  static bool Exists(const WString& path);
  static bool IsDirectory(const WString& path);
  // Creates one folder (not its parents). False on failure, with the last error set.
  static bool CreateDirectory(const WString& path);

 protected:
  // The system's handle of the open file (a descriptor, or a Windows HANDLE's value).
  using NativeHandle = std::intptr_t;
  static constexpr NativeHandle kNoHandle = -1;
  NativeHandle Handle() const { return handle_; }
  // Throws the FileError of a system error value (errno on POSIX, a Windows error number on
  // Windows).
  [[noreturn]] void Throw(int systemError) const;

 private:
  NativeHandle handle_ = kNoHandle;
  WString path_;
};

// Path text to the bytes the POSIX file system takes (UTF-8), and back; on Windows the same
// UTF-8 text, for test code that builds paths as bytes.
std::string PathToNative(const WString& path);
WString PathFromNative(const std::string& path);

}  // namespace platform
