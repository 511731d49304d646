// The INI layer on both platforms. Its reading rules: the same table for the platform's own
// layer and, in the Windows build, for Windows' GetPrivateProfileStringW and
// GetPrivateProfileSectionNamesW on the same files, which checks our reading of those rules
// against a real implementation. Its writers: threads and processes sharing a file, and a
// writer killed at any moment.
#include "profile/profile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/code_page.h"
#include "profile/profile_document.h"
#include "support/profile_files.h"
#include "platform/system_error.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/wine.h"

#ifdef _WIN32
#include <windows.h>
// The system's name for its own function would hide the layer's.
#undef WriteProfileString
#endif

namespace {

using namespace profile_test;
using testing_support::KnownWineDifference;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

// The raw list buffer: every unit up to and including the first double terminator.
WString ReadNames(const std::string& path, std::uint32_t size, std::uint32_t* result) {
  std::vector<char16_t> buffer(size + 2, u'#');
  *result = profile::ReadProfileSectionNames(buffer.data(), size, Wide(path));
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
  EXPECT_EQ(profile::ReadProfileString(u"S", u"K", u"", untouched, 0, Wide(path)), 0u);
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
    EXPECT_EQ(profile::ReadProfileString(nullptr, u"k", u"", viaRead.data(), c.size, Wide(path)),
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
  EXPECT_EQ(profile::ReadProfileString(u"s", nullptr, u"", buffer.data(), 16, Wide(path)), 4u);
  EXPECT_EQ(WString(buffer.data(), 6), u"A\0B\0\0#"s);
}

TEST(Profile, WritesEditLinesInPlace) {
  struct Case {
    const char* before;  // null: no file
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
    const char* after;
  };
  const Case cases[] = {
      {nullptr, u"S", u"K", u"V", "[S]\r\nK=V\r\n"},
      {"", u"S", u"K", u"V", "[S]\r\nK=V\r\n"},
      {"[S]\r\nK=V\r\n", u"T", u"K", u"W", "[S]\r\nK=V\r\n[T]\r\nK=W\r\n"},
      {"[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n", u"a", u"k2", u"2",
       "[A]\r\nk=1\r\nk2=2\r\n\r\n[B]\r\nx=1\r\n"},
      {"[A]\r\n;only a comment\r\n", u"A", u"k", u"1", "[A]\r\nk=1\r\n;only a comment\r\n"},
      {"; c\n[A]\nK = old\nz=1\n", u"A", u"k", u"new", "; c\n[A]\nK=new\nz=1\n"},
      {"[A]\r\nk=1", u"A", u"j", u"2", "[A]\r\nk=1\r\nj=2\r\n"},
      {"[A]\r\nk=1", u"B", u"x", u"1", "[A]\r\nk=1\r\n[B]\r\nx=1\r\n"},
      {"[A]\r\nk=1", u"A", u"k", u"22", "[A]\r\nk=22"},
      {"[S]\r\nK=1\r\n[S]\r\nK=2\r\n", u"S", u"K", u"3", "[S]\r\nK=3\r\n[S]\r\nK=2\r\n"},
      {"  [ S ]  \r\n", u"S", u"K", u" v ", "  [ S ]  \r\nK= v \r\n"},
      // deletions
      {"[A]\r\nk=1\r\nj=2\r\n", u"A", u"K", nullptr, "[A]\r\nj=2\r\n"},
      {"[A]\r\nk=1\r\n;c\r\n[B]\r\nj=2\r\n", u"a", nullptr, nullptr, "[B]\r\nj=2\r\n"},
      {"x=0\r\n[A]\r\nk=1\r\n[B]\r\n[A]\r\nj=2\r\n", u"A", nullptr, nullptr, "x=0\r\n[B]\r\n"},
      {"[A]\r\nk=1\r\n", u"A", u"missing", nullptr, "[A]\r\nk=1\r\n"},
      {"[A]\r\nk=1\r\n", u"B", nullptr, nullptr, "[A]\r\nk=1\r\n"},
      {nullptr, u"A", nullptr, nullptr, nullptr},
      {nullptr, u"A", u"k", nullptr, nullptr},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before ? c.before : "(no file)");
    const std::string path = dir.File("w.ini");
    ::unlink(path.c_str());
    if (c.before) WriteBytes(path, c.before);
    EXPECT_TRUE(Write(path, c.section, c.key, c.value));
    if (c.after) {
      EXPECT_EQ(ReadFileBytes(path), c.after);
    } else {
      EXPECT_NE(::access(path.c_str(), F_OK), 0) << "a deletion created the file";
    }
  }
  for (const std::string& name : testing_support::ListFiles(dir.path())) {
    EXPECT_EQ(name, "w.ini") << "a temporary file was left behind";
  }
}

TEST(Profile, WritesReadBackThroughTheCache) {
  TempDir dir;
  const std::string path = dir.File("c.ini");
  EXPECT_EQ(Read(path, u"S", u"K", u"none").text, u"none");
  for (const char16_t* value : {u"1", u"22", u"333", u"", u"\"q\""}) {
    ASSERT_TRUE(Write(path, u"S", u"K", value));
    const WString expected = WString(value) == u"\"q\"" ? u"q" : value;
    EXPECT_EQ(Read(path, u"S", u"K", u"none").text, expected);
  }
  ASSERT_TRUE(Write(path, u"S", u"K", nullptr));
  EXPECT_EQ(Read(path, u"S", u"K", u"none").text, u"none");
  // Many replacements of one long value in one process: the parsed copy drops the old bytes
  // now and then, and the file and its reading stay right throughout.
  for (int i = 0; i < 300; ++i) {
    const WString value = Wide(std::to_string(i) + std::string(1000, 'v'));
    ASSERT_TRUE(Write(path, u"S", u"K", value.c_str()));
    ASSERT_TRUE(Write(path, Wide("T" + std::to_string(i % 7)).c_str(), u"K", u"t"));
    ASSERT_EQ(Read(path, u"S", u"K", u"", 2048).text, value);
  }
  EXPECT_EQ(ReadFileBytes(path).size(), std::string("[S]\r\nK=299\r\n").size() + 1000 +
                                           7 * std::string("[T0]\r\nK=t\r\n").size());
}

// A replaced value's old bytes stay in the parsed copy only until they pile up: a value
// rewritten thousands of times, never longer, costs the copy about one compaction's worth, not
// every version. The runs point into the bytes the copy holds, so their spread bounds them.
TEST(Profile, ReplacedValuesGiveTheirBytesBack) {
  profile::ProfileDocument document = profile::ProfileDocument::Parse("[S]\r\nK=v\r\n[T]\r\n");
  for (int i = 0; i < 2000; ++i) {
    const WString value(1000 - i % 2, static_cast<char16_t>(u'a' + i % 3));
    ASSERT_TRUE(document.SetValue(u"S", u"K", value));
  }
  const char* low = nullptr;
  const char* high = nullptr;
  for (const std::string_view run : document.ByteRuns()) {
    if (low == nullptr || run.data() < low) low = run.data();
    if (high == nullptr || run.data() + run.size() > high) high = run.data() + run.size();
  }
  EXPECT_LT(high - low, 200 * 1024);
}

TEST(Profile, RefusesTextThatWouldNotReadBack) {
  struct Case {
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
  };
  const Case cases[] = {
      {nullptr, u"K", u"v"},       {u"", u"K", u"v"},        {u"  ", u"K", u"v"},
      {u"S\r\n[T]", u"K", u"v"},   {u"S\n", u"K", u"v"},     {u"S", u"", u"v"},
      {u"S", u"K=x", u"v"},        {u"S", u"[K]", u"v"},     {u"S", u";K", u"v"},
      {u"S", u"K\r", u"v"},        {u"S", u"K", u"v\r\n[Evil]\r\nK=w"},
      {u"S", u"K", u"v\n"},        {u"S\r", nullptr, nullptr},
  };
  TempDir dir;
  const std::string path = dir.File("r.ini");
  WriteBytes(path, "[S]\r\nK=keep\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    platform::SetLastErrorCode(0);
    EXPECT_FALSE(Write(path, c.section, c.key, c.value));
    EXPECT_EQ(platform::GetLastErrorCode(), platform::error::kInvalidParameter);
    // Among other entries, a refused one stops the whole write.
    if (c.section != nullptr && c.key != nullptr) {
      EXPECT_FALSE(profile::WriteProfileStrings(
          {{u"S", u"K", u"changed"}, {c.section, c.key, c.value}}, Wide(path)));
    }
  }
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nK=keep\r\n");
  // A text holding a NUL ends there, as the C string a single write takes: what follows it
  // never reaches the file.
  const WString hidden(u"v\0\r\n[Evil]\r\nK=w", 15);
  ASSERT_TRUE(profile::WriteProfileStrings({{u"S", u"K", hidden}}, Wide(path)));
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nK=v\r\n");
}

TEST(Profile, MissingFolderFails) {
  TempDir dir;
  platform::SetLastErrorCode(0);
  EXPECT_FALSE(Write(dir.File("no/such/folder.ini"), u"S", u"K", u"v"));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::error::kPathNotFound);
}

TEST(Profile, Utf16FilesStayUtf16) {
  using namespace std::string_literals;
  TempDir dir;
  const std::string path = dir.File("u.ini");
  // FF FE, then "[Mot\u00F6rhead]\r\nK=\u20AC\r\n" in UTF-16 LE.
  auto utf16 = [](const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
  };
  WriteBytes(path, "\xFF\xFE"s + utf16(u"[Mot\u00F6rhead]\r\nK=\u20AC\r\n"));
  EXPECT_EQ(Read(path, u"MOT\u00D6RHEAD", u"k").text, u"\u20AC");
  ASSERT_TRUE(Write(path, u"\u0416", u"K", u"\u0436"));
  EXPECT_EQ(ReadFileBytes(path),
            "\xFF\xFE"s + utf16(u"[Mot\u00F6rhead]\r\nK=\u20AC\r\n[\u0416]\r\nK=\u0436\r\n"));

  // A stray byte after the last whole unit is no text: a write leaves it out rather than
  // appending behind it, where every new line would be one byte out of step.
  WriteBytes(path, "\xFF\xFE"s + utf16(u"[a]\n") + "x");
  ASSERT_TRUE(Write(path, u"\u00C9lise", u"Url", u"v"));
  EXPECT_EQ(ReadFileBytes(path), "\xFF\xFE"s + utf16(u"[a]\n[\u00C9lise]\r\nUrl=v\r\n"));
}

TEST(Profile, AnsiFilesUseTheAnsiCodePage) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  // The default ANSI code page here is UTF-8: no byte-order mark on a new file.
  ASSERT_TRUE(Write(path, u"Mot\u00F6rhead", u"K", u"\u20AC"));
  EXPECT_EQ(ReadFileBytes(path), "[Mot\xC3\xB6rhead]\r\nK=\xE2\x82\xAC\r\n");
  // Lines a write does not touch keep their bytes even when they are not valid UTF-8.
  WriteBytes(path, "; \xFF\xFE broken\r\n[S]\r\nK=1\r\n");
  ASSERT_TRUE(Write(path, u"S", u"K", u"2"));
  EXPECT_EQ(ReadFileBytes(path), "; \xFF\xFE broken\r\n[S]\r\nK=2\r\n");

  const std::uint32_t saved = platform::GetAnsiCodePage();
  platform::SetAnsiCodePage(platform::kCpWindows1252);
  WriteBytes(path, "[Mot\xF6rhead]\r\nK=\x80\r\n");
  EXPECT_EQ(Read(path, u"mot\u00D6rhead", u"K").text, u"\u20AC");
  EXPECT_TRUE(Write(path, u"Caf\u00E9", u"K", u"\u00FC"));
  EXPECT_EQ(ReadFileBytes(path), "[Mot\xF6rhead]\r\nK=\x80\r\n[Caf\xE9]\r\nK=\xFC\r\n");
  platform::SetAnsiCodePage(saved);
}

// Threads of one process each open the file on their own: the lock keeps them apart too.
TEST(Profile, ConcurrentThreadsLoseNothing) {
  TempDir dir;
  const std::string path = dir.File("threads.ini");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&path, t] {
      for (int i = 0; i < 50; ++i) {
        const WString name = Wide("T" + std::to_string(t) + "-" + std::to_string(i));
        EXPECT_TRUE(Write(path, name.c_str(), u"K", name.c_str()));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 50; ++i) {
      const WString name = Wide("T" + std::to_string(t) + "-" + std::to_string(i));
      EXPECT_EQ(Read(path, name.c_str(), u"K").text, name);
    }
  }
}

// Every line of a file this layer wrote is a header or a key line ending in CR LF.
bool IsWellFormed(const std::string& bytes) {
  static const std::regex line(R"((\[[^\r\n\[\]]*\]|[^\r\n\[;=][^\r\n=]*=[^\r\n]*)\r\n)");
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::smatch match;
    const std::string rest = bytes.substr(at, bytes.find('\n', at) + 1 - at);
    if (!std::regex_match(rest, match, line)) return false;
    at += rest.size();
  }
  return true;
}

WString ArtistName(int writer, int index) {
  return Wide("Artist " + std::to_string(writer) + "-" + std::to_string(index));
}
// Long addresses make the file large, so that a kill often lands while a new file is written.
WString ArtistUrl(int writer, int index) {
  return Wide("site.test/" + std::to_string(writer) + "/" + std::to_string(index) + ".html?" +
              std::string(2000, 'x'));
}

// Child process body: writes `count` artists, `batch` at a time (one by one, or many in one
// write as a search pass does), reporting the last index of each write on `report` once it
// has returned. Never returns.
// A writer process: PATH WRITER COUNT BATCH PROGRESS. After each write that returned it
// appends the last index written to the PROGRESS file, one whole int per write, so that the
// test knows which entries a kill may no longer take away.
int WriterProcess(const std::vector<std::string>& arguments) {
  const std::string& path = arguments[0];
  const int writer = std::stoi(arguments[1]), count = std::stoi(arguments[2]),
            batch = std::stoi(arguments[3]);
  std::ofstream progress(arguments[4], std::ios::binary | std::ios::app);
  for (int first = 0; first < count; first += batch) {
    std::vector<profile::ProfileValue> values;
    for (int i = first; i < first + batch; ++i) {
      values.push_back({ArtistName(writer, i), u"ArtistUrl", ArtistUrl(writer, i)});
    }
    const bool ok = batch == 1 ? Write(path, values[0].section.c_str(), u"ArtistUrl",
                                       values[0].value.c_str())
                               : profile::WriteProfileStrings(values, Wide(path));
    if (!ok) return 2;
    const int last = first + batch - 1;
    if (!progress.write(reinterpret_cast<const char*>(&last), sizeof last).flush()) return 3;
  }
  return 0;
}

// The last index the writer confirmed, -1 for none.
int LastConfirmed(const std::string& progressPath) {
  const std::string bytes = testing_support::ReadFileBytes(progressPath);
  int last = -1;
  if (bytes.size() >= sizeof last) {
    std::memcpy(&last, bytes.data() + (bytes.size() / sizeof last - 1) * sizeof last, sizeof last);
  }
  return last;
}

// A writer killed at an arbitrary moment leaves a whole file holding every entry whose write
// had returned, and its lock goes with it; the same for writers of 50 entries at a time.
TEST(ProfileProcesses, KilledWriterLeavesWholeFile) {
  testing_support::RunIfChild(WriterProcess);
  TempDir dir;
  const std::string path = dir.File("K.ARTISTCACHE");
  std::vector<int> confirmed;
  for (int round = 0; round < 8; ++round) {
    const std::string progress = dir.File("progress" + std::to_string(round));
    testing_support::ChildProcess writer(
        WriterProcess, {path, std::to_string(round), "1000000", round % 2 == 0 ? "1" : "50",
                        progress});
    ASSERT_TRUE(writer.Started());
    const int killAfter = 10 + 7 * round;
    while (LastConfirmed(progress) < killAfter) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    // A different moment of a write each round.
    std::this_thread::sleep_for(std::chrono::microseconds(97 * round));
    writer.Kill();
    ASSERT_EQ(writer.Wait(), -1) << "the writer ended before it was killed";
    const int last = LastConfirmed(progress);
    confirmed.push_back(last);

    EXPECT_TRUE(IsWellFormed(ReadFileBytes(path)));
    for (int r = 0; r <= round; ++r) {
      for (int i = 0; i <= confirmed[r]; ++i) {
        ASSERT_EQ(Read(path, ArtistName(r, i).c_str(), u"ArtistUrl", u"", 4096).text,
                  ArtistUrl(r, i))
            << "round " << r << " entry " << i;
      }
    }
    // The dead writer's lock is gone: a new write goes through.
    EXPECT_TRUE(Write(path, u"After", u"ArtistUrl", Wide(std::to_string(round)).c_str()));
  }
}

}  // namespace
