// The reading rules of the INI layer: the same table for the platform's own layer on both
// platforms and, in the Windows build, for Windows' GetPrivateProfileStringW and
// GetPrivateProfileSectionNamesW on the same files, which checks our reading of those rules
// against a real implementation.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/system_error.h"
#include "support/temp_dir.h"
#include "support/wine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using testing_support::KnownWineDifference;
using testing_support::TempDir;

WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct ReadResult {
  WString text;
  std::uint32_t result;
};

ReadResult Read(const std::string& path, const char16_t* section, const char16_t* key,
                const char16_t* defaultValue = u"", std::uint32_t size = 256) {
  std::vector<char16_t> buffer(size + 1, u'#');
  const std::uint32_t result =
      platform::ReadProfileString(section, key, defaultValue, buffer.data(), size, Wide(path));
  return {WString(buffer.data()), result};
}

// The raw list buffer: every unit up to and including the first double terminator.
WString ReadNames(const std::string& path, std::uint32_t size, std::uint32_t* result) {
  std::vector<char16_t> buffer(size + 2, u'#');
  *result = platform::ReadProfileSectionNames(buffer.data(), size, Wide(path));
  return WString(buffer.data(), size);
}

#ifdef _WIN32
constexpr bool kSystemProfile = true;

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

WString SystemRead(const std::string& path, const char16_t* section, const char16_t* key,
                   const char16_t* defaultValue) {
  std::vector<wchar_t> buffer(257, L'#');
  ::GetPrivateProfileStringW(W(section), W(key), W(defaultValue), buffer.data(), 256,
                             W(Wide(path).c_str()));
  return WString(reinterpret_cast<const char16_t*>(buffer.data()));
}

WString SystemReadNames(const std::string& path, std::uint32_t size, std::uint32_t* result) {
  std::vector<wchar_t> buffer(size + 2, L'#');
  *result = ::GetPrivateProfileSectionNamesW(buffer.data(), size, W(Wide(path).c_str()));
  return WString(reinterpret_cast<const char16_t*>(buffer.data()), size);
}
#else
constexpr bool kSystemProfile = false;

WString SystemRead(const std::string&, const char16_t*, const char16_t*, const char16_t*) {
  return {};
}
WString SystemReadNames(const std::string&, std::uint32_t, std::uint32_t*) { return {}; }
#endif

TEST(Profile, ReadsValuesByWindowsRules) {
  struct Case {
    const char* content;
    const char16_t* section;
    const char16_t* key;
    const char16_t* expected;
    const char* wineDiffers = nullptr;
  };
  const Case cases[] = {
      {"[Sec]\r\nKey=Value\r\n", u"Sec", u"Key", u"Value"},
      {"[Sec]\r\nKey=Value\r\n", u"sEC", u"kEY", u"Value"},              // any case
      {"  [ Sec ]  \r\n \t Key \t=  Value  \r\n", u"Sec", u"Key", u"Value"},
      {"[Sec]\r\nKey=Value\r\n", u"  Sec ", u" Key\t", u"Value"},        // names trimmed
      {"[Sec]\nKey=Value", u"Sec", u"Key", u"Value"},                     // LF, no final break
      {"[Sec]\rKey=Value\r", u"Sec", u"Key", u"Value"},                   // CR alone
      {"\n\n[Sec]\r\n\r\n\r\nKey=Value\n\n", u"Sec", u"Key", u"Value"},  // blank lines
      {"[Sec]\r\nKey=\"quoted  \"\r\n", u"Sec", u"Key", u"quoted  "},
      {"[Sec]\r\nKey=\"\"\r\n", u"Sec", u"Key", u""},
      {"[Sec]\r\nKey=\"\r\n", u"Sec", u"Key", u"\""},                    // a lone quote stays
      {"[Sec]\r\nKey=\"a\r\n", u"Sec", u"Key", u"\"a"},
      {"[Sec]\r\nKey='a'\r\n", u"Sec", u"Key", u"a"},                    // single quotes too
      {"[Sec]\r\nKey=v ;c\r\n", u"Sec", u"Key", u"v ;c"},                // no inline comments
      {"[Sec]\r\nKey=a=b\r\n", u"Sec", u"Key", u"a=b"},                  // split at the first =
      {"[Sec]\r\n;Key=x\r\nKey=y\r\n", u"Sec", u"Key", u"y"},            // comment line
      {"[a]b] junk\r\nK=1\r\n", u"a]b", u"K", u"1"},                     // name to the last ]
      {"[Sec\r\nK=1\r\n", u"Sec", u"K", u"dflt"},                        // no ]: no header
      {"[S]\r\n[T\r\nK=1\r\n", u"S", u"K", u"1"},                         // but a key of S
      {"[S]\r\nK=1\r\nK=2\r\n[S]\r\nK=3\r\n", u"S", u"K", u"1"},         // first key wins
      {"[S]\r\nJ=1\r\n[s]\r\nK=2\r\n", u"S", u"K", u"dflt"},             // first section only
      {"K=1\r\n[S]\r\n", u"S", u"K", u"dflt"},                           // before any header
      {"[S]\r\nK\r\nK=2\r\n", u"S", u"K", u"dflt"},                      // key without =
      {"[S]\r\nK=1\r\n", u"T", u"K", u"dflt"},                           // missing section
      {"[S]\r\nK=1\r\n", u"S", u"J", u"dflt"},                           // missing key
      {"[S]\r\nK=\r\n", u"S", u"K", u""},                                // empty is a value
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    const std::string path = dir.File("read.ini");
    WriteBytes(path, c.content);
    EXPECT_EQ(Read(path, c.section, c.key, u"dflt").text, c.expected);
    if (kSystemProfile && !KnownWineDifference(c.wineDiffers)) {
      EXPECT_EQ(SystemRead(path, c.section, c.key, u"dflt"), c.expected) << "the system's own";
    }
  }
}

TEST(Profile, DefaultsLoseTrailingSpacesOnly) {
  TempDir dir;
  const std::string missing = dir.File("missing.ini");
  platform::SetLastErrorCode(0);
  EXPECT_EQ(Read(missing, u"S", u"K", u" d e  ").text, u" d e");
  EXPECT_EQ(platform::GetLastErrorCode(), platform::error::kFileNotFound);
  EXPECT_EQ(Read(missing, u"S", u"K", u"d\t").text, u"d\t");
  const ReadResult none = Read(missing, u"S", u"K", nullptr);
  EXPECT_EQ(none.text, u"");
  EXPECT_EQ(none.result, 0u);
}

TEST(Profile, TruncatesToBufferSize) {
  struct Case {
    std::uint32_t size;
    const char16_t* text;
    std::uint32_t result;
  };
  const Case cases[] = {
      {256, u"abcdef", 6}, {7, u"abcdef", 6}, {6, u"abcde", 5}, {4, u"abc", 3}, {1, u"", 0},
  };
  TempDir dir;
  const std::string path = dir.File("t.ini");
  WriteBytes(path, "[S]\r\nK=abcdef\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const ReadResult value = Read(path, u"S", u"K", u"", c.size);
    EXPECT_EQ(value.text, c.text);
    EXPECT_EQ(value.result, c.result);
    const ReadResult fallback = Read(path, u"S", u"missing", u"abcdef", c.size);
    EXPECT_EQ(fallback.text, c.text);
    EXPECT_EQ(fallback.result, c.result);
  }
  char16_t untouched[2] = {u'x', u'y'};
  EXPECT_EQ(platform::ReadProfileString(u"S", u"K", u"", untouched, 0, Wide(path)), 0u);
  EXPECT_EQ(untouched[0], u'x');
}

TEST(Profile, ListsSectionNamesWithTruncationSign) {
  struct Case {
    const char* content;
    std::uint32_t size;
    WString buffer;  // the first `size` units
    std::uint32_t result;
    const char* wineDiffers = nullptr;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"[a]\r\n[b]\r\n", 8, u"a\0b\0\0###"s, 4},
      {"[a]\r\n[b]\r\n", 6, u"a\0b\0\0#"s, 4},
      {"[a]\r\n[b]\r\n", 5, u"a\0b\0\0"s, 3},      // an exact fit counts as cut
      {"[a]\r\n[b]\r\n", 4, u"a\0\0\0"s, 2},
      {"[a]\r\n[b]\r\n", 3, u"a\0\0"s, 1},
      {"[a]\r\n[b]\r\n", 2, u"\0\0"s, 0},
      {"[a]\r\n[b]\r\n", 1, u"\0"s, 0},
      {"[abc]\r\n", 4, u"ab\0\0"s, 2},
      {"[ x ]\r\nk=v\r\n[]\r\n[y]\r\n", 8, u"x\0y\0\0###"s, 4},  // empty names left out
      {"; nothing\r\n", 4, u"\0\0##"s, 0, "Wine ends an empty list with one terminator"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.content << " size " << c.size);
    const std::string path = dir.File("names.ini");
    WriteBytes(path, c.content);
    std::uint32_t result = 0;
    EXPECT_EQ(ReadNames(path, c.size, &result), c.buffer);
    EXPECT_EQ(result, c.result);
    if (kSystemProfile && !KnownWineDifference(c.wineDiffers)) {
      EXPECT_EQ(SystemReadNames(path, c.size, &result), c.buffer) << "the system's own";
      EXPECT_EQ(result, c.result) << "the system's own";
    }
    // A null section asks for the same list.
    std::vector<char16_t> viaRead(c.size + 2, u'#');
    EXPECT_EQ(platform::ReadProfileString(nullptr, u"k", u"", viaRead.data(), c.size, Wide(path)),
              c.result);
  }
  std::uint32_t result = 7;
  EXPECT_EQ(ReadNames(dir.File("missing.ini"), 4, &result), (u"\0\0##"s));
  EXPECT_EQ(result, 0u);
}

TEST(Profile, ListsKeyNamesForNullKey) {
  using namespace std::string_literals;
  TempDir dir;
  const std::string path = dir.File("keys.ini");
  WriteBytes(path, "[S]\r\nA=1\r\n;c\r\nB\r\n[T]\r\nC=3\r\n");
  std::vector<char16_t> buffer(16, u'#');
  EXPECT_EQ(platform::ReadProfileString(u"s", nullptr, u"", buffer.data(), 16, Wide(path)), 4u);
  EXPECT_EQ(WString(buffer.data(), 6), u"A\0B\0\0#"s);
}

}  // namespace
