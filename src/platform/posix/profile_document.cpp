#include "platform/posix/profile_document.h"

#include <algorithm>

#include "platform/case_map.h"
#include "platform/code_page.h"

namespace platform {
namespace {

constexpr char kUtf16Bom[] = "\xFF\xFE";

bool IsProfileSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

bool IsAscii(const char* data, std::size_t length) {
  return std::all_of(data, data + length, [](char c) { return (c & 0x80) == 0; });
}

// ANSI bytes to UTF-16. ASCII is the same in every ANSI code page and needs no converter; an
// unusable code page falls back to one unit per byte rather than losing the line.
WString DecodeAnsi(const char* data, std::size_t length) {
  WString text(length, u'\0');
  if (IsAscii(data, length)) {
    std::copy(data, data + length, text.begin());
    return text;
  }
  // No byte sequence yields more UTF-16 units than it has bytes.
  const int written = MultiByteToWide(kCpAcp, 0, data, static_cast<int>(length), text.data(),
                                      static_cast<int>(length));
  if (written <= 0) {
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<unsigned char>(data[i]);
    return text;
  }
  text.resize(static_cast<std::size_t>(written));
  return text;
}

std::string EncodeAnsi(WStringView text) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    return std::string(text.begin(), text.end());
  }
  const int length = static_cast<int>(text.size());
  const int needed =
      WideToMultiByte(kCpAcp, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(needed, 0)), '\0');
  const int written = WideToMultiByte(kCpAcp, 0, text.data(), length, bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(std::max(written, 0)));
  return bytes;
}

WString DecodeUtf16(const char* data, std::size_t length) {
  WString text(length / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                    static_cast<unsigned char>(data[2 * i + 1]) << 8);
  }
  return text;
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
    if (a[i] != b[i] && ToUpper(a[i]) != ToUpper(b[i])) return false;
  }
  return true;
}

// The number of bytes of line break (a run of CR and LF units) that end a raw line.
std::size_t TrailingBreakBytes(const std::string& raw, bool utf16) {
  const std::size_t unit = utf16 ? 2 : 1;
  if (raw.size() % unit != 0) return 0;
  std::size_t end = raw.size();
  while (end >= unit) {
    const std::size_t at = end - unit;
    const char16_t c = utf16 ? DecodeUtf16(raw.data() + at, 2)[0]
                             : static_cast<char16_t>(static_cast<unsigned char>(raw[at]));
    if (!IsBreak(c)) break;
    end = at;
  }
  return raw.size() - end;
}

}  // namespace

WStringView TrimProfileText(WStringView text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileSpace(text[begin])) ++begin;
  while (end > begin && IsProfileSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

WString FoldProfileName(WStringView name) {
  WString folded(name);
  for (char16_t& c : folded) c = ToUpper(c);
  return folded;
}

// Each line keeps its bytes, its one line break (CR LF, LF or CR) included, so that writing
// the document back reproduces the file exactly. A run of breaks makes blank lines, which
// lookups skip, so any run of CR and LF ends a line as far as reading goes; keeping the blank
// lines apart lets a new key go before the blank lines that end its section.
ProfileDocument ProfileDocument::Parse(const std::string& bytes) {
  ProfileDocument document;
  document.utf16_ = bytes.compare(0, 2, kUtf16Bom, 2) == 0;
  const std::size_t unit = document.utf16_ ? 2 : 1;
  auto unitAt = [&](std::size_t at) -> char16_t {
    return document.utf16_ ? DecodeUtf16(bytes.data() + at, 2)[0]
                           : static_cast<char16_t>(static_cast<unsigned char>(bytes[at]));
  };
  // A stray byte after the last whole unit of a UTF-16 file is no text: it is not read, and a
  // write leaves it out, so that whatever the write appends starts on a whole unit.
  const std::size_t end =
      document.utf16_ && bytes.size() % 2 != 0 ? bytes.size() - 1 : bytes.size();
  std::size_t at = document.utf16_ ? 2 : 0;
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
    line.raw = bytes.substr(start, at - start);
    const char* content = bytes.data() + start;
    const std::size_t contentLength = contentEnd - start;
    document.Classify(line, document.utf16_ ? DecodeUtf16(content, contentLength)
                                            : DecodeAnsi(content, contentLength));
    document.lines_.push_back(std::move(line));
  }
  document.Index();
  return document;
}

std::string ProfileDocument::Bytes() const {
  std::size_t total = utf16_ ? 2 : 0;
  for (const Line& line : lines_) total += line.raw.size();
  std::string bytes;
  bytes.reserve(total);
  if (utf16_) bytes.append(kUtf16Bom, 2);
  for (const Line& line : lines_) bytes += line.raw;
  return bytes;
}

// A header is "[" name "]" with the name running to the last "]"; comments start with ";";
// anything else is a key, split at the first "=" (a key without "=" has no value).
void ProfileDocument::Classify(Line& line, WStringView text) const {
  const WStringView trimmed = TrimProfileText(text);
  line.name.clear();
  line.value.clear();
  line.hasValue = false;
  if (trimmed.empty()) {
    line.kind = Kind::Blank;
  } else if (trimmed[0] == u';') {
    line.kind = Kind::Comment;
  } else if (trimmed[0] == u'[') {
    line.kind = Kind::Header;
    const std::size_t close = trimmed.rfind(u']');
    const std::size_t length = (close == WStringView::npos || close == 0) ? WStringView::npos
                                                                            : close - 1;
    line.name = TrimProfileText(trimmed.substr(1, length));
  } else {
    line.kind = Kind::Key;
    const std::size_t equals = trimmed.find(u'=');
    line.name = TrimProfileText(trimmed.substr(0, equals));
    if (equals != WStringView::npos) {
      line.value = TrimProfileText(trimmed.substr(equals + 1));
      line.hasValue = true;
    }
  }
}

std::string ProfileDocument::Encode(WStringView text) const {
  return utf16_ ? EncodeUtf16(text) : EncodeAnsi(text);
}

ProfileDocument::Line ProfileDocument::MakeLine(WStringView text, bool withBreak) const {
  Line line;
  line.raw = Encode(text);
  if (withBreak) line.raw += Encode(u"\r\n");
  Classify(line, text);
  return line;
}

void ProfileDocument::Index() {
  sections_.clear();
  firstSection_.clear();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::Header) continue;
    if (!sections_.empty()) sections_.back().end = i;
    sections_.push_back({i, lines_.size()});
    firstSection_.try_emplace(FoldProfileName(lines_[i].name), sections_.size() - 1);
  }
}

const ProfileDocument::Section* ProfileDocument::FindSection(WStringView name) const {
  const auto found = firstSection_.find(FoldProfileName(TrimProfileText(name)));
  return found == firstSection_.end() ? nullptr : &sections_[found->second];
}

std::size_t ProfileDocument::FindKeyLine(const Section& section, WStringView key) const {
  const WStringView wanted = TrimProfileText(key);
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    if (lines_[i].kind == Kind::Key && EqualFolded(lines_[i].name, wanted)) return i;
  }
  return WString::npos;
}

void ProfileDocument::EnsureBreakAfter(std::size_t lineIndex) {
  Line& line = lines_[lineIndex];
  if (TrailingBreakBytes(line.raw, utf16_) == 0) line.raw += Encode(u"\r\n");
}

const WString* ProfileDocument::FindValue(WStringView section, WStringView key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return nullptr;
  const std::size_t line = FindKeyLine(*found, key);
  if (line == WString::npos || !lines_[line].hasValue) return nullptr;
  return &lines_[line].value;
}

std::vector<WStringView> ProfileDocument::SectionNames() const {
  std::vector<WStringView> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) {
    const WString& name = lines_[section.header].name;
    if (!name.empty()) names.emplace_back(name);
  }
  return names;
}

std::vector<WStringView> ProfileDocument::KeyNames(WStringView section) const {
  std::vector<WStringView> names;
  const Section* found = FindSection(section);
  if (found == nullptr) return names;
  for (std::size_t i = found->header + 1; i < found->end; ++i) {
    if (lines_[i].kind == Kind::Key && !lines_[i].name.empty()) names.emplace_back(lines_[i].name);
  }
  return names;
}

bool ProfileDocument::SetValue(WStringView section, WStringView key, WStringView value) {
  const Section* found = FindSection(section);
  if (found == nullptr) {
    if (!lines_.empty()) EnsureBreakAfter(lines_.size() - 1);
    lines_.push_back(MakeLine(WString(u"[") + WString(TrimProfileText(section)) + u"]", true));
    lines_.push_back(MakeLine(WString(TrimProfileText(key)) + u"=" + WString(value), true));
    Index();
    return true;
  }
  const std::size_t keyLine = FindKeyLine(*found, key);
  if (keyLine != WString::npos) {
    Line& line = lines_[keyLine];
    if (line.hasValue && line.value == value) return false;
    // Replaced in place: the file's own spelling of the key and its line break stay.
    const std::size_t breakBytes = TrailingBreakBytes(line.raw, utf16_);
    const std::string lineBreak = line.raw.substr(line.raw.size() - breakBytes);
    Line replaced = MakeLine(line.name + u"=" + WString(value), false);
    replaced.raw += lineBreak;
    line = std::move(replaced);
    return true;
  }
  // A new key goes after the section's last key (or right after its header).
  std::size_t after = found->header;
  for (std::size_t i = found->header + 1; i < found->end; ++i) {
    if (lines_[i].kind == Kind::Key) after = i;
  }
  EnsureBreakAfter(after);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                MakeLine(WString(TrimProfileText(key)) + u"=" + WString(value), true));
  Index();
  return true;
}

bool ProfileDocument::DeleteKey(WStringView section, WStringView key) {
  const Section* found = FindSection(section);
  if (found == nullptr) return false;
  const std::size_t keyLine = FindKeyLine(*found, key);
  if (keyLine == WString::npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(keyLine));
  Index();
  return true;
}

// Every section of that name goes, so that no later duplicate shows through.
bool ProfileDocument::DeleteSection(WStringView section) {
  const WStringView wanted = TrimProfileText(section);
  bool changed = false;
  for (std::size_t k = sections_.size(); k-- > 0;) {
    const Section& s = sections_[k];
    if (!EqualFolded(lines_[s.header].name, wanted)) continue;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(s.header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(s.end));
    changed = true;
  }
  if (changed) Index();
  return changed;
}

}  // namespace platform
