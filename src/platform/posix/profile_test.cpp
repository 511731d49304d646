#include "platform/profile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/code_page.h"
#include "platform/system_error.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
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

bool Write(const std::string& path, const char16_t* section, const char16_t* key,
           const char16_t* value) {
  return platform::WriteProfileString(section, key, value, Wide(path));
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
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

TEST(Profile, SeesChangesMadeByOtherPrograms) {
  TempDir dir;
  const std::string path = dir.File("x.ini");
  WriteBytes(path, "[S]\r\nK=one\r\n");
  EXPECT_EQ(Read(path, u"S", u"K").text, u"one");
  WriteBytes(path, "[S]\r\nK=three\r\n");  // same inode, new size
  EXPECT_EQ(Read(path, u"S", u"K").text, u"three");
  WriteBytes(path, "[S]\r\nK=seven\r\n");  // same inode, same size: the time tells
  const timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
  EXPECT_EQ(Read(path, u"S", u"K").text, u"seven");
  const std::string other = dir.File("y.ini");
  WriteBytes(other, "[S]\r\nK=eight\r\n");
  ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);  // a new inode
  EXPECT_EQ(Read(path, u"S", u"K").text, u"eight");
}

TEST(Profile, UnchangedValueLeavesFileAlone) {
  TempDir dir;
  const std::string path = dir.File("same.ini");
  ASSERT_TRUE(Write(path, u"S", u"K", u"v"));
  const ino_t first = Inode(path);
  ASSERT_TRUE(Write(path, u"s", u"k", u"v"));
  ASSERT_TRUE(Write(path, u"S", u"other", nullptr));
  ASSERT_TRUE(Write(path, u"Other", nullptr, nullptr));
  EXPECT_EQ(Inode(path), first);
  ASSERT_TRUE(Write(path, u"S", u"K", u"w"));
  EXPECT_NE(Inode(path), first);  // a change replaces the file
  // Many entries at once: unchanged ones leave the file alone, and any change replaces it
  // once with all of them applied in order.
  const ino_t second = Inode(path);
  ASSERT_TRUE(platform::WriteProfileStrings({{u"S", u"K", u"w"}, {u"s", u"k", u"w"}}, Wide(path)));
  EXPECT_EQ(Inode(path), second);
  ASSERT_TRUE(platform::WriteProfileStrings(
      {{u"S", u"K", u"x"}, {u"New", u"K", u"1"}, {u"new", u"K", u"2"}, {u"S", u"J", u"y"}},
      Wide(path)));
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nK=x\r\nJ=y\r\n[New]\r\nK=2\r\n");
}

TEST(Profile, KeepsPermissions) {
  TempDir dir;
  const std::string path = dir.File("mode.ini");
  WriteBytes(path, "[S]\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(Write(path, u"S", u"K", u"v"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
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
      EXPECT_FALSE(platform::WriteProfileStrings(
          {{u"S", u"K", u"changed"}, {c.section, c.key, c.value}}, Wide(path)));
    }
  }
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nK=keep\r\n");
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
[[noreturn]] void WriterProcess(const std::string& path, int writer, int count, int batch,
                                int report) {
  for (int first = 0; first < count; first += batch) {
    std::vector<platform::ProfileValue> values;
    for (int i = first; i < first + batch; ++i) {
      values.push_back({ArtistName(writer, i), u"ArtistUrl", ArtistUrl(writer, i)});
    }
    const bool ok = batch == 1 ? Write(path, values[0].section.c_str(), u"ArtistUrl",
                                       values[0].value.c_str())
                               : platform::WriteProfileStrings(values, Wide(path));
    if (!ok) ::_exit(2);
    const int last = first + batch - 1;
    if (report >= 0 && ::write(report, &last, sizeof last) != sizeof last) ::_exit(3);
  }
  ::_exit(0);
}

// A writer killed at an arbitrary moment leaves a whole file holding every entry whose write
// had returned, and its lock goes with it; the same for writers of 50 entries at a time.
TEST(ProfileProcesses, KilledWriterLeavesWholeFile) {
  TempDir dir;
  const std::string path = dir.File("K.ARTISTCACHE");
  std::vector<int> confirmed;
  for (int round = 0; round < 8; ++round) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeFds[0]);
      WriterProcess(path, round, 1000000, round % 2 == 0 ? 1 : 50, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    int index = -1;
    int last = -1;
    const int killAfter = 10 + 7 * round;
    while (last < killAfter && ::read(pipeFds[0], &index, sizeof index) == sizeof index) {
      last = index;
    }
    ::usleep(static_cast<useconds_t>(97 * round));  // a different moment of a write each round
    ::kill(child, SIGKILL);
    while (::read(pipeFds[0], &index, sizeof index) == sizeof index) last = index;
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";
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
