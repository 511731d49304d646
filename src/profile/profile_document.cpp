#include "profile/profile_document.h"

#include <algorithm>

#include "platform/case_map.h"
#include "platform/code_page.h"

namespace profile {
namespace {

constexpr char kUtf16Bom[] = "\xFF\xFE";
// Old bytes of replaced lines are dropped once they pass both this and the bytes in use.
constexpr std::size_t kCompactionFloor = 64 * 1024;

bool IsProfileSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// ANSI bytes to UTF-16. ASCII is the same in every ANSI code page and needs no converter; an
// unusable code page falls back to one unit per byte rather than losing the line.
void DecodeAnsi(const char* data, std::size_t length, WString& text) {
  text.resize(length);
  unsigned char high = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(data[i]);
    high |= byte;
    text[i] = byte;
  }
  if ((high & 0x80) == 0) return;
  // No byte sequence yields more UTF-16 units than it has bytes.
  const int written = platform::MultiByteToWide(platform::kCpAcp, 0, data, static_cast<int>(length), text.data(),
                                      static_cast<int>(length));
  if (written <= 0) {
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<unsigned char>(data[i]);
    return;
  }
  text.resize(static_cast<std::size_t>(written));
}

std::string EncodeAnsi(WStringView text) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    return std::string(text.begin(), text.end());
  }
  const int length = static_cast<int>(text.size());
  const int needed =
      platform::WideToMultiByte(platform::kCpAcp, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(needed, 0)), '\0');
  const int written = platform::WideToMultiByte(platform::kCpAcp, 0, text.data(), length, bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(std::max(written, 0)));
  return bytes;
}

char16_t Utf16At(const char* data) {
  return static_cast<char16_t>(static_cast<unsigned char>(data[0]) |
                               static_cast<unsigned char>(data[1]) << 8);
}

void DecodeUtf16(const char* data, std::size_t length, WString& text) {
  text.resize(length / 2);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = Utf16At(data + 2 * i);
}

std::string EncodeUtf16(WStringView text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

bool EqualFolded(WStringView a, WStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && platform::ToUpper(a[i]) != platform::ToUpper(b[i])) return false;
  }
  return true;
}

// FNV-1a over the folded units of a trimmed name.
std::uint64_t FoldedHash(WStringView name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char16_t c : name) {
    hash = (hash ^ platform::ToUpper(c)) * 1099511628211ull;
  }
  return hash;
}

}  // namespace

WStringView TrimProfileText(WStringView text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileSpace(text[begin])) ++begin;
  while (end > begin && IsProfileSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::uint64_t ProfileUnitMask(WStringView text) {
  std::uint64_t mask = 0;
  for (const char16_t c : text) mask |= std::uint64_t{1} << (c % 64);
  return mask;
}

// Each line keeps its bytes, its one line break (CR LF, LF or CR) included, so that writing
// the document back reproduces the file exactly. A run of breaks makes blank lines, which
// lookups skip, so any run of CR and LF ends a line as far as reading goes; keeping the blank
// lines apart lets a new key go before the blank lines that end its section. Offsets are 32
// bits: a profile file is read whole into memory, and one of 4 GiB is no profile.
ProfileDocument ProfileDocument::Parse(std::string bytes) {
  ProfileDocument document;
  document.bytes_ = std::move(bytes);
  const std::string& data = document.bytes_;
  document.utf16_ = data.compare(0, 2, kUtf16Bom, 2) == 0;
  const bool utf16 = document.utf16_;
  const std::size_t unit = utf16 ? 2 : 1;
  auto unitAt = [&](std::size_t at) -> char16_t {
    return utf16 ? Utf16At(data.data() + at) : static_cast<char16_t>(
                                                   static_cast<unsigned char>(data[at]));
  };
  // A stray byte after the last whole unit of a UTF-16 file is no text: it is not read, and a
  // write leaves it out, so that whatever the write appends starts on a whole unit.
  const std::size_t end = std::min<std::size_t>(
      utf16 && data.size() % 2 != 0 ? data.size() - 1 : data.size(), UINT32_MAX);
  std::size_t at = utf16 ? 2 : 0;
  WString text;
  while (at < end) {
    const std::size_t start = at;
    while (at + unit <= end && !IsBreak(unitAt(at))) at += unit;
    const std::size_t contentEnd = at;
    if (at + unit <= end) {
      const bool carriageReturn = unitAt(at) == u'\r';
      at += unit;
      if (carriageReturn && at + unit <= end && unitAt(at) == u'\n') at += unit;
    }
    Line line;
    line.start = static_cast<std::uint32_t>(start);
    line.length = static_cast<std::uint32_t>(at - start);
    line.breakBytes = static_cast<std::uint8_t>(at - contentEnd);
    line.kind = document.KindOf(line);
    document.lines_.push_back(line);
  }
  document.Index();
  return document;
}

// What Classify would say of the line's kind, from its first unit that is not white space and,
// after a "[", whether a "]" follows: no decoding needed. A byte above 0x7F in an ANSI file
// starts a character that is neither white space nor "[", "]" or ";" in any ANSI code page.
ProfileDocument::Kind ProfileDocument::KindOf(const Line& line) const {
  const std::size_t unit = utf16_ ? 2 : 1;
  const std::size_t end = line.start + line.length - line.breakBytes;
  const auto unitAt = [&](std::size_t at) {
    return utf16_ ? Utf16At(bytes_.data() + at)
                  : static_cast<char16_t>(static_cast<unsigned char>(bytes_[at]));
  };
  for (std::size_t at = line.start; at + unit <= end; at += unit) {
    const char16_t c = unitAt(at);
    if (IsProfileSpace(c)) continue;
    if (c == u';') return Kind::Comment;
    if (c != u'[') return Kind::Key;
    for (at += unit; at + unit <= end; at += unit) {
      if (unitAt(at) == u']') return Kind::Header;
    }
    return Kind::Key;
  }
  return Kind::Blank;
}

std::vector<std::string_view> ProfileDocument::ByteRuns() const {
  std::vector<std::string_view> runs;
  if (utf16_) runs.emplace_back(kUtf16Bom, 2);
  const std::string_view all(bytes_);
  for (std::size_t i = 0; i < lines_.size();) {
    const std::size_t start = lines_[i].start;
    std::size_t end = start + lines_[i].length;
    // Lines parsed together, or appended together, follow each other in bytes_.
    for (++i; i < lines_.size() && lines_[i].start == end; ++i) end += lines_[i].length;
    runs.push_back(all.substr(start, end - start));
  }
  return runs;
}


// A header is "[" name "]" with the name running to the last "]"; comments start with ";";
// anything else is a key, split at the first "=" (a key without "=" has no value). A "[" line
// without "]" is no header but a key, as Windows' own reader takes it.
ProfileDocument::Parts ProfileDocument::Classify(WStringView text) {
  Parts parts;
  const WStringView trimmed = TrimProfileText(text);
  const std::size_t close = trimmed.rfind(u']');
  if (trimmed.empty()) {
    parts.kind = Kind::Blank;
  } else if (trimmed[0] == u';') {
    parts.kind = Kind::Comment;
  } else if (trimmed[0] == u'[' && close != WStringView::npos) {
    parts.kind = Kind::Header;
    parts.name = TrimProfileText(trimmed.substr(1, close - 1));
  } else {
    parts.kind = Kind::Key;
    const std::size_t equals = trimmed.find(u'=');
    parts.name = TrimProfileText(trimmed.substr(0, equals));
    if (equals != WStringView::npos) {
      parts.value = TrimProfileText(trimmed.substr(equals + 1));
      parts.hasValue = true;
    }
  }
  return parts;
}

void ProfileDocument::DecodeContent(const Line& line, WString& text) const {
  const char* content = bytes_.data() + line.start;
  const std::size_t length = line.length - line.breakBytes;
  if (utf16_) {
    DecodeUtf16(content, length, text);
  } else {
    DecodeAnsi(content, length, text);
  }
}

WString ProfileDocument::NameOf(const Line& line) const {
  WString text;
  DecodeContent(line, text);
  return WString(Classify(text).name);
}

std::string ProfileDocument::Encode(WStringView text) const {
  return utf16_ ? EncodeUtf16(text) : EncodeAnsi(text);
}

// A line of new text, its bytes added at the end of bytes_.
ProfileDocument::Line ProfileDocument::Append(WStringView text, bool withBreak) {
  Line line;
  line.start = static_cast<std::uint32_t>(bytes_.size());
  bytes_ += Encode(text);
  if (withBreak) {
    const std::size_t before = bytes_.size();
    bytes_ += Encode(u"\r\n");
    line.breakBytes = static_cast<std::uint8_t>(bytes_.size() - before);
  }
  line.length = static_cast<std::uint32_t>(bytes_.size() - line.start);
  line.kind = KindOf(line);
  return line;
}

void ProfileDocument::Index() {
  sections_.clear();
  firstSection_.clear();
  const std::size_t headers = static_cast<std::size_t>(
      std::count_if(lines_.begin(), lines_.end(),
                    [](const Line& line) { return line.kind == Kind::Header; }));
  sections_.reserve(headers);
  firstSection_.reserve(headers);
  WString text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::Header) IndexSection(static_cast<std::uint32_t>(i), text);
  }
}

// Adds the section whose header is headerLine, which follows every section indexed so far.
// text is scratch space, kept by the caller across calls.
void ProfileDocument::IndexSection(std::uint32_t headerLine, WString& text) {
  if (!sections_.empty()) sections_.back().end = headerLine;
  DecodeContent(lines_[headerLine], text);
  const WStringView name = Classify(text).name;
  const std::uint64_t hash = FoldedHash(name);
  bool first = true;
  const auto [from, to] = firstSection_.equal_range(hash);
  for (auto it = from; it != to && first; ++it) {
    first = !EqualFolded(NameOf(lines_[sections_[it->second].header]), name);
  }
  const std::uint32_t length = name.find(u'\0') == WStringView::npos
                                  ? static_cast<std::uint32_t>(name.size())
                                  : kAnyLength;
  sections_.push_back(
      {headerLine, static_cast<std::uint32_t>(lines_.size()), length, ProfileUnitMask(name)});
  if (first) firstSection_.emplace(hash, static_cast<std::uint32_t>(sections_.size() - 1));
}

// The index in sections_ of the first section of that name, or UINT32_MAX.
std::uint32_t ProfileDocument::FindSection(WStringView name) const {
  const WStringView wanted = TrimProfileText(name);
  std::uint32_t best = UINT32_MAX;
  const auto [from, to] = firstSection_.equal_range(FoldedHash(wanted));
  for (auto it = from; it != to; ++it) {
    if (it->second < best && EqualFolded(NameOf(lines_[sections_[it->second].header]), wanted)) {
      best = it->second;
    }
  }
  return best;
}

// The key's line in section, or npos; found and text receive its parts.
std::size_t ProfileDocument::FindKeyLine(const Section& section, WStringView key, Parts* found,
                                         WString& text) const {
  const WStringView wanted = TrimProfileText(key);
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    if (lines_[i].kind != Kind::Key) continue;
    DecodeContent(lines_[i], text);
    const Parts parts = Classify(text);
    if (EqualFolded(parts.name, wanted)) {
      if (found != nullptr) *found = parts;
      return i;
    }
  }
  return WString::npos;
}

void ProfileDocument::EnsureBreakAfter(std::size_t lineIndex) {
  Line& line = lines_[lineIndex];
  if (line.breakBytes != 0) return;
  const std::string lineBreak = Encode(u"\r\n");
  if (line.start + line.length != bytes_.size()) {
    // Not the last bytes held: copy the line to the end so the break can follow it.
    const std::string own = bytes_.substr(line.start, line.length);
    unusedBytes_ += line.length;
    line.start = static_cast<std::uint32_t>(bytes_.size());
    bytes_ += own;
  }
  bytes_ += lineBreak;
  line.length += static_cast<std::uint32_t>(lineBreak.size());
  line.breakBytes = static_cast<std::uint8_t>(lineBreak.size());
}

// Rewrites bytes_ as the lines in use once replaced lines have left as many bytes unused.
void ProfileDocument::CompactIfWasteful() {
  if (unusedBytes_ < kCompactionFloor || unusedBytes_ < bytes_.size() / 2) return;
  std::string compact;
  compact.reserve(bytes_.size() - unusedBytes_);
  for (Line& line : lines_) {
    const std::size_t start = compact.size();
    compact.append(bytes_, line.start, line.length);
    line.start = static_cast<std::uint32_t>(start);
  }
  bytes_ = std::move(compact);
  unusedBytes_ = 0;
}

bool ProfileDocument::FindValue(WStringView section, WStringView key, WString& value) const {
  const std::uint32_t found = FindSection(section);
  if (found == UINT32_MAX) return false;
  WString text;
  Parts parts;
  if (FindKeyLine(sections_[found], key, &parts, text) == WString::npos || !parts.hasValue) {
    return false;
  }
  value.assign(parts.value);
  return true;
}

void ProfileDocument::VisitSectionNames(const NameVisitor& visit, const NameFilter& keep) const {
  WString text;
  for (const Section& section : sections_) {
    if (keep && section.nameLength != kAnyLength && !keep(section.nameLength, section.unitMask)) {
      continue;
    }
    DecodeContent(lines_[section.header], text);
    const WStringView name = Classify(text).name;
    if (!name.empty() && !visit(name)) return;
  }
}

void ProfileDocument::VisitKeyNames(WStringView section, const NameVisitor& visit) const {
  const std::uint32_t found = FindSection(section);
  if (found == UINT32_MAX) return;
  WString text;
  for (std::size_t i = sections_[found].header + 1; i < sections_[found].end; ++i) {
    if (lines_[i].kind != Kind::Key) continue;
    DecodeContent(lines_[i], text);
    const WStringView name = Classify(text).name;
    if (!name.empty() && !visit(name)) return;
  }
}

bool ProfileDocument::SetValue(WStringView section, WStringView key, WStringView value) {
  const std::uint32_t found = FindSection(section);
  if (found == UINT32_MAX) {
    // A new section goes at the end: indexed as it stands, without a pass over the file.
    if (!lines_.empty()) EnsureBreakAfter(lines_.size() - 1);
    lines_.push_back(Append(WString(u"[") + WString(TrimProfileText(section)) + u"]", true));
    WString text;
    IndexSection(static_cast<std::uint32_t>(lines_.size() - 1), text);
    lines_.push_back(Append(WString(TrimProfileText(key)) + u"=" + WString(value), true));
    sections_.back().end = static_cast<std::uint32_t>(lines_.size());
    CompactIfWasteful();
    return true;
  }
  const Section where = sections_[found];
  WString text;
  Parts parts;
  const std::size_t keyLine = FindKeyLine(where, key, &parts, text);
  if (keyLine != WString::npos) {
    if (parts.hasValue && parts.value == value) return false;
    // Replaced in place: the file's own spelling of the key and its line break stay.
    Line& line = lines_[keyLine];
    const std::string lineBreak =
        bytes_.substr(line.start + line.length - line.breakBytes, line.breakBytes);
    const WString name(parts.name);
    unusedBytes_ += line.length;
    Line replaced = Append(name + u"=" + WString(value), false);
    bytes_ += lineBreak;
    replaced.length += static_cast<std::uint32_t>(lineBreak.size());
    replaced.breakBytes = line.breakBytes;
    line = replaced;
    CompactIfWasteful();
    return true;
  }
  // A new key goes after the section's last key (or right after its header).
  std::size_t after = where.header;
  for (std::size_t i = where.header + 1; i < where.end; ++i) {
    if (lines_[i].kind == Kind::Key) after = i;
  }
  EnsureBreakAfter(after);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                Append(WString(TrimProfileText(key)) + u"=" + WString(value), true));
  Index();
  CompactIfWasteful();
  return true;
}

bool ProfileDocument::DeleteKey(WStringView section, WStringView key) {
  const std::uint32_t found = FindSection(section);
  if (found == UINT32_MAX) return false;
  WString text;
  const std::size_t keyLine = FindKeyLine(sections_[found], key, nullptr, text);
  if (keyLine == WString::npos) return false;
  unusedBytes_ += lines_[keyLine].length;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(keyLine));
  Index();
  CompactIfWasteful();
  return true;
}

// Every section of that name goes, so that no later duplicate shows through.
bool ProfileDocument::DeleteSection(WStringView section) {
  const WStringView wanted = TrimProfileText(section);
  bool changed = false;
  for (std::size_t k = sections_.size(); k-- > 0;) {
    const Section& s = sections_[k];
    if (!EqualFolded(NameOf(lines_[s.header]), wanted)) continue;
    for (std::size_t i = s.header; i < s.end; ++i) unusedBytes_ += lines_[i].length;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(s.header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(s.end));
    changed = true;
  }
  if (changed) {
    Index();
    CompactIfWasteful();
  }
  return changed;
}

}  // namespace profile
