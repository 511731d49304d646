// Private-profile (INI) files, standing in for GetPrivateProfileStringW,
// GetPrivateProfileSectionNamesW and WritePrivateProfileStringW with Windows' matching rules
// and buffer results: section and key names match without regard to case and are trimmed of
// white space, a value in double or single quotes comes back without them, truncation returns
// size - 1 (values) or size - 2 (lists). A file starting with FF FE is UTF-16 LE; any other is
// text in the ANSI code page.
//
// Sounder than Windows: a write goes to a temporary file put in place of the old one in one
// step, under an exclusive lock held from the read to the replacement, so a writer that dies
// at any moment never leaves a torn file and concurrent writers (threads or processes) never
// lose each other's changes (a lock held elsewhere for longer than kProfileLockWaitMs fails the
// write with 32 rather than waiting for ever); a write that changes nothing leaves the file alone; text that
// could not be read back as written (a line break anywhere, or a key holding "=" or starting
// with "[" or ";") is refused. Readers take no lock: they always see a whole file. Parsed files
// are kept in memory while their identity (inode, or file index), size and times are
// unchanged. The file side is per platform (profile_file.h), the rest the same everywhere.
//
// Any thread may call these functions. Failures set the calling thread's last error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "tunewell/wstring.h"

namespace profile {

// Copies the value of key in section into buffer (size characters, terminator included) and
// returns the number of characters copied; a value that does not fit is cut to size - 1.
// When the file, section or key is missing, or the key has no "=", copies defaultValue (null
// means empty) without its trailing spaces instead. A null key lists the key names of the
// section and a null section lists the section names, as ReadProfileSectionNames does. A size
// of 0 returns 0 and leaves buffer alone. A missing file sets the last error to 2.
std::uint32_t ReadProfileString(const char16_t* section, const char16_t* key,
                                const char16_t* defaultValue, char16_t* buffer,
                                std::uint32_t size, const WString& path);

// Copies the file's section names into buffer, each terminated, followed by one more
// terminator, and returns the number of characters before that final terminator. When the
// list does not fit, including an exact fit, the last name is cut, two terminators end the
// buffer and the result is size - 2. A missing file gives 0 and an empty list (last error 2).
std::uint32_t ReadProfileSectionNames(char16_t* buffer, std::uint32_t size, const WString& path);

// Sets key = value in section, creating the file (not its folder), the section (at the end of
// the file) and the key (at the end of its section) as needed; lines not touched are kept byte
// for byte. A null value deletes the key; a null key deletes the section (every section of
// that name). Returns false with the last error set on failure: 87 for a null or empty
// section, an empty key, or text refused as above; 3 for a missing folder; file errors
// otherwise. Deleting what does not exist succeeds without touching the file.
bool WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                        const WString& path);

// One key = value of a section, for WriteProfileStrings.
struct ProfileValue {
  WString section;
  WString key;
  WString value;
};

// Sets every entry as WriteProfileString would, in order, under one lock and with at most one
// replacement of the file: a writer of many entries pays for the file once. All or nothing:
// false with the last error set when any entry is refused (87, nothing written) or the file
// cannot be written. giveUp, when given, can end a wait for another writer's lock (1223,
// platform/profile_file.h).
bool WriteProfileStrings(const std::vector<ProfileValue>& values, const WString& path,
                         const std::function<bool()>& giveUp = nullptr);

// Calls visit with each section name of the file, in file order, as ReadProfileSectionNames
// lists them, until it returns false; no buffer to size. With keep, a name is visited only when
// keep(length in units, ProfileUnitMask of the name) says so, or when it holds a zero unit (the
// list would show it as several names); the others are passed over without being decoded.
// False (last error set) when the file cannot be read; a missing file gives error 2.
bool VisitProfileSectionNames(
    const WString& path, const std::function<bool(WStringView)>& visit,
    const std::function<bool(std::size_t, std::uint64_t)>& keep = nullptr);

// Bit u % 64 set for every unit u of the text, as VisitProfileSectionNames hands it to keep.
std::uint64_t ProfileUnitMask(WStringView text);

// Whether the text would read back as written (the refusal rule of WriteProfileString). Pure;
// the same on every platform.
bool IsWritableProfileText(const char16_t* section, const char16_t* key, const char16_t* value);

// Creates the process-wide cache of parsed files now. A library calls it at start-up, before
// its other process-wide objects, so that the cache outlives every object that may read files.
void PrepareProfileCache();

}  // namespace profile
