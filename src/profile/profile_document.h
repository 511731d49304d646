// ProfileDocument: one INI file held as its bytes and an index of its lines, so that an edit
// replaces, inserts or removes whole lines and leaves every other byte as it was. Parsing
// follows the Windows private-profile rules (see profile.h). Names and values are decoded from
// a line's bytes when asked for rather than kept beside them: a cache file of 100 000 artists
// then costs little more memory than its own size.
//
// Portable: nothing here touches the file system, so both platform backends share it. A
// document is a plain value: one thread at a time may use an object; a const object may be
// shared. Nothing throws apart from std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tunewell/wstring.h"

namespace profile {

class ProfileDocument {
 public:
  // Called with each name in file order; returning false stops the walk.
  using NameVisitor = std::function<bool(WStringView)>;

  // An empty new file: ANSI text without a byte-order mark.
  ProfileDocument() = default;
  // Reads the bytes of a file: UTF-16 LE after FF FE, else the ANSI code page.
  static ProfileDocument Parse(std::string bytes);
  // The file's bytes, byte-order mark included, as runs of consecutive bytes held by the
  // document (valid until its next edit): a writer passes them on without gathering a copy.
  std::vector<std::string_view> ByteRuns() const;

  // The raw value (trimmed, quotes kept) of key in the first section of that name. False when
  // the section or key is missing or the key's line has no "=".
  bool FindValue(WStringView section, WStringView key, WString& value) const;
  // Given a name's length in units and its ProfileUnitMask: whether to visit it.
  using NameFilter = std::function<bool(std::size_t length, std::uint64_t unitMask)>;

  // Section names in file order, empty names left out; with a filter, only the names it keeps
  // (and every name holding a zero unit), the others skipped undecoded.
  void VisitSectionNames(const NameVisitor& visit, const NameFilter& keep = nullptr) const;
  // Key names of the first section of that name, in file order, empty names left out.
  void VisitKeyNames(WStringView section, const NameVisitor& visit) const;

  // Edits; each returns true when the document changed. Arguments must not hold line breaks.
  bool SetValue(WStringView section, WStringView key, WStringView value);
  bool DeleteKey(WStringView section, WStringView key);
  bool DeleteSection(WStringView section);

 private:
  enum class Kind : std::uint8_t { Blank, Comment, Header, Key };
  struct Line {
    std::uint32_t start = 0;   // offset of the line's bytes in bytes_
    std::uint32_t length = 0;  // its bytes, line break included
    std::uint8_t breakBytes = 0;
    Kind kind = Kind::Blank;
  };
  struct Section {
    std::uint32_t header;      // index of the header line
    std::uint32_t end;         // index past its last line
    std::uint32_t nameLength;  // units of its name; kAnyLength when the name holds a zero
    std::uint64_t unitMask;    // ProfileUnitMask of its name
  };
  static constexpr std::uint32_t kAnyLength = UINT32_MAX;
  // What a line's text says, as views into that text.
  struct Parts {
    Kind kind = Kind::Blank;
    WStringView name;   // section or key name, trimmed
    WStringView value;  // key value, trimmed
    bool hasValue = false;
  };

  static Parts Classify(WStringView text);
  Kind KindOf(const Line& line) const;
  void DecodeContent(const Line& line, WString& text) const;
  WString NameOf(const Line& line) const;
  Line Append(WStringView text, bool withBreak);
  std::string Encode(WStringView text) const;
  void Index();
  void IndexSection(std::uint32_t headerLine, WString& text);
  std::uint32_t FindSection(WStringView name) const;
  std::size_t FindKeyLine(const Section& section, WStringView key, Parts* found,
                          WString& text) const;
  void EnsureBreakAfter(std::size_t lineIndex);
  void CompactIfWasteful();

  bool utf16_ = false;
  // The file's bytes, and after edits the bytes of the lines they made: a replaced line's old
  // bytes stay here unused until there are as many of them as of lines in use.
  std::string bytes_;
  std::size_t unusedBytes_ = 0;
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  // Hash of a folded section name -> its first section; a hash shared by two names is told
  // apart by comparing the names themselves.
  std::unordered_multimap<std::uint64_t, std::uint32_t> firstSection_;
};

// Profile white space: tab, LF, VT, FF, CR and space.
WStringView TrimProfileText(WStringView text);
// Bit u % 64 set for every unit u of the text: which units a name may hold, kept per section
// so that a scan can pass over names that cannot be what it looks for.
std::uint64_t ProfileUnitMask(WStringView text);

}  // namespace profile
