// ProfileDocument: one INI file held as its lines, each with its original bytes, so that an
// edit replaces, inserts or removes whole lines and leaves every other byte as it was. Parsing
// follows the Windows private-profile rules (see profile.h). A document is a plain value: one
// thread at a time may use an object; a const object may be shared. Nothing here touches the
// file system; nothing throws apart from std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "tunewell/wstring.h"

namespace platform {

class ProfileDocument {
 public:
  // An empty new file: ANSI text without a byte-order mark.
  ProfileDocument() = default;
  // Reads the bytes of a file: UTF-16 LE after FF FE, else the ANSI code page.
  static ProfileDocument Parse(const std::string& bytes);
  // The file's bytes, byte-order mark included.
  std::string Bytes() const;

  // The raw value (trimmed, quotes kept) of key in the first section of that name, or null
  // when the section or key is missing or the key's line has no "=".
  const WString* FindValue(WStringView section, WStringView key) const;
  // Section names in file order, empty names left out. Views into this document.
  std::vector<WStringView> SectionNames() const;
  // Key names of the first section of that name, in file order.
  std::vector<WStringView> KeyNames(WStringView section) const;

  // Edits; each returns true when the document changed. Arguments must not hold line breaks.
  bool SetValue(WStringView section, WStringView key, WStringView value);
  bool DeleteKey(WStringView section, WStringView key);
  bool DeleteSection(WStringView section);

 private:
  enum class Kind { Blank, Comment, Header, Key };
  struct Line {
    std::string raw;     // the line's bytes, its line break included
    Kind kind = Kind::Blank;
    WString name;        // section or key name, trimmed
    WString value;       // key value, trimmed
    bool hasValue = false;
  };
  struct Section {
    std::size_t header;  // index of the header line
    std::size_t end;     // index past its last line
  };

  Line MakeLine(WStringView text, bool withBreak) const;
  std::string Encode(WStringView text) const;
  void Classify(Line& line, WStringView text) const;
  void Index();
  const Section* FindSection(WStringView name) const;
  std::size_t FindKeyLine(const Section& section, WStringView key) const;
  void EnsureBreakAfter(std::size_t lineIndex);

  bool utf16_ = false;
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  std::unordered_map<WString, std::size_t> firstSection_;  // folded name -> sections_ index
};

// Profile white space: tab, LF, VT, FF, CR and space.
WStringView TrimProfileText(WStringView text);
// The name as matching compares it: every unit upper-case mapped.
WString FoldProfileName(WStringView name);

}  // namespace platform
