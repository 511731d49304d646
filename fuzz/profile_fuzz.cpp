// The INI profile functions over a file anyone may have written. The first three lines of the
// input are a section, a key and a value (UTF-8) to write; the rest is the file. Every section
// and key of the file is read back, with buffers of every interesting size; then the write,
// which must read back as written (or be refused) and leave every other value as it was, and
// the deletions of the key and the section.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/case_map.h"
#include "platform/code_page.h"
#include "profile/profile.h"

namespace {

// Enough for the longest list a 64 KiB file can hold.
constexpr std::uint32_t kLargeBuffer = 160 * 1024;
// Sections and keys looked at: more only repeat the same reads.
constexpr std::size_t kMaxNames = 64;

bool IsProfileSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

WString Trim(WStringView text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileSpace(text[begin])) ++begin;
  while (end > begin && IsProfileSpace(text[end - 1])) --end;
  return WString(text.substr(begin, end - begin));
}

// Names as the functions match them: trimmed, every unit upper-case mapped.
WString Fold(WStringView name) {
  WString folded = Trim(name);
  for (char16_t& c : folded) c = platform::ToUpper(c);
  return folded;
}

// A value as reading gives it back: trimmed, one pair of enclosing double quotes removed.
WString AsRead(WStringView value) {
  WString text = Trim(value);
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

// The text up to its first zero: what the functions see of it.
WString FromUtf8(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  if (bytes.empty()) return WString();
  const int length = static_cast<int>(bytes.size());
  const int needed = platform::MultiByteToWide(platform::kCpUtf8, 0, bytes.data(), length,
                                               nullptr, 0);
  WString text(static_cast<std::size_t>(needed > 0 ? needed : 0), u'\0');
  if (needed > 0) {
    platform::MultiByteToWide(platform::kCpUtf8, 0, bytes.data(), length, text.data(), needed);
  }
  return text;
}

std::string_view TakeLine(std::string_view& bytes) {
  const std::size_t end = bytes.find('\n');
  const std::string_view line = bytes.substr(0, end);
  bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
  return line;
}

// Splits a list of terminated names.
std::vector<WString> Split(const char16_t* list, std::uint32_t length) {
  std::vector<WString> names;
  for (std::uint32_t at = 0; at < length;) {
    WString name(list + at);
    at += static_cast<std::uint32_t>(name.size()) + 1;
    names.push_back(std::move(name));
  }
  return names;
}

// A list read (section names when section is null, else key names) with a buffer of exactly
// size units, against the whole list: the same list when it fits with a unit to spare, else
// size - 2 with the list cut and two terminators at the end.
void CheckCutList(const char16_t* section, const std::vector<char16_t>& whole,
                  std::uint32_t length, std::uint32_t size, const WString& path) {
  std::unique_ptr<char16_t[]> buffer(new char16_t[size]);
  const std::uint32_t got = profile::ReadProfileString(section, nullptr, u"", buffer.get(), size,
                                                        path);
  const std::string what = "list of " + std::to_string(length) + " units into " +
                           std::to_string(size) + ": ";
  if (length + 2 <= size) {
    fuzz::Check(got == length && std::equal(whole.begin(), whole.begin() + length + 1,
                                            buffer.get()),
                what + "not the whole list");
  } else if (size < 2) {
    fuzz::Check(got == 0 && buffer[0] == 0, what + "not an empty list");
  } else {
    fuzz::Check(got == size - 2, what + "cut list of " + std::to_string(got) + " units");
    fuzz::Check(buffer[size - 2] == 0 && buffer[size - 1] == 0, what + "no two terminators");
    fuzz::Check(std::equal(whole.begin(), whole.begin() + got, buffer.get()),
                what + "not a prefix of the list");
  }
}

std::vector<WString> ReadList(const char16_t* section, const WString& path) {
  static std::vector<char16_t> whole(kLargeBuffer);  // one buffer: the reads are many
  const std::uint32_t length =
      profile::ReadProfileString(section, nullptr, u"", whole.data(), kLargeBuffer, path);
  fuzz::Check(length + 2 <= kLargeBuffer, "a list longer than the file");
  for (const std::uint32_t size : {1u, 2u, 3u, length / 2, length, length + 1, length + 2}) {
    if (size > 0) CheckCutList(section, whole, length, size, path);
  }
  return Split(whole.data(), length);
}

// A value read with a buffer of exactly size units: cut to size - 1.
WString ReadValue(const WString& section, const WString& key, const WString& path,
                  std::uint32_t size = kLargeBuffer) {
  std::unique_ptr<char16_t[]> buffer(new char16_t[size]);
  const std::uint32_t got = profile::ReadProfileString(section.c_str(), key.c_str(),
                                                        u"  default  ", buffer.get(), size, path);
  fuzz::Check(got < size && buffer[got] == 0, "value not terminated within its buffer");
  return WString(buffer.get(), got);
}

using Values = std::map<std::pair<WString, WString>, WString>;  // (folded section, key)

// Every value the file holds, each section and key read as listed.
Values ReadAll(const WString& path) {
  Values values;
  std::vector<WString> sections = ReadList(nullptr, path);
  if (sections.size() > kMaxNames) sections.resize(kMaxNames);
  for (const WString& section : sections) {
    std::vector<WString> keys = ReadList(section.c_str(), path);
    if (keys.size() > kMaxNames) keys.resize(kMaxNames);
    for (const WString& key : keys) {
      const WString value = ReadValue(section, key, path);
      const std::uint32_t cut = static_cast<std::uint32_t>(value.size() / 2) + 1;
      fuzz::Check(ReadValue(section, key, path, cut) == value.substr(0, cut - 1),
                  "a cut value is not the value's start");
      values.try_emplace({Fold(section), Fold(key)}, value);
    }
  }
  return values;
}

void CheckWrite(const WString& section, const WString& key, const WString& value,
                const std::filesystem::path& file) {
  const WString path = fuzz::WidePath(file);
  const Values before = ReadAll(path);
  if (!profile::WriteProfileString(section.c_str(), key.c_str(), value.c_str(), path)) return;
  const std::string what = "[" + fuzz::Printable(section) + "] " + fuzz::Printable(key) + "=" +
                           fuzz::Printable(value);
  fuzz::Check(ReadValue(section, key, path) == AsRead(value),
              "written " + what + ", read back \"" +
                  fuzz::Printable(ReadValue(section, key, path)) + "\"");
  // Another process knows only the bytes: a copy of the file, never parsed before, must
  // read back the same.
  std::filesystem::path copy = file;
  copy += ".copy";
  std::filesystem::copy_file(file, copy);
  const WString fromBytes = ReadValue(section, key, fuzz::WidePath(copy));
  std::filesystem::remove(copy);
  fuzz::Check(fromBytes == AsRead(value), "written " + what + ", the file's bytes read back \"" +
                                              fuzz::Printable(fromBytes) + "\"");
  const Values after = ReadAll(path);
  const std::pair<WString, WString> written{Fold(section), Fold(key)};
  for (const auto& [name, old] : before) {
    if (name == written) continue;
    const auto now = after.find(name);
    fuzz::Check(now != after.end() && now->second == old,
                "writing " + what + " changed [" + fuzz::Printable(name.first) + "] " +
                    fuzz::Printable(name.second));
  }

  fuzz::Check(profile::WriteProfileString(section.c_str(), key.c_str(), nullptr, path),
              "cannot delete the key of " + what);
  // Deleting removes one key line; a second spelling of the key would still answer.
  const std::vector<WString> keys = ReadList(section.c_str(), path);
  if (std::none_of(keys.begin(), keys.end(),
                   [&](const WString& k) { return Fold(k) == written.second; })) {
    fuzz::Check(ReadValue(section, key, path) == u"  default", "key of " + what + " not deleted");
  }
  fuzz::Check(profile::WriteProfileString(section.c_str(), nullptr, nullptr, path),
              "cannot delete the section of " + what);
  // Listing the sections cannot show it: a name holding a zero unit lists as two names.
  fuzz::Check(ReadList(section.c_str(), path).empty() &&
                  ReadValue(section, key, path) == u"  default",
              "section of " + what + " not deleted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes = fuzz::Bytes(data, size);
  const WString section = FromUtf8(TakeLine(bytes));
  const WString key = FromUtf8(TakeLine(bytes));
  const WString value = FromUtf8(TakeLine(bytes));

  // A new file name for every input: a parsed file stays cached under its name.
  static unsigned counter = 0;
  const std::filesystem::path file =
      fuzz::TempFolder::Path() / ("profile-" + std::to_string(counter++) + ".ini");
  fuzz::WriteFile(file, bytes);
  CheckWrite(section, key, value, file);
  std::filesystem::remove(file);
  return 0;
}
