#include "search/artist_url_cache.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include "diag/trace_log.h"
#include "platform/file.h"
#include "profile/profile.h"
#include "search/name_distance.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;

WString Wide(const std::string& text) { return platform::PathFromNative(text); }
std::string Narrow(const WString& text) { return std::string(text.begin(), text.end()); }

// A cache rooted in a fresh folder, with the folder names the plug-in would pass.
struct CacheFixture {
  TempDir dir;
  CArtistUrlCache cache{dir.wpath(), u"Tunewell", u"0123abcd"};
  std::string FileFor(const std::string& letter) const {
    return dir.path() + "/Tunewell/0123abcd/" + letter + ".ARTISTCACHE";
  }
};

int CountLines(const TraceCapture& trace, const WString& tag, const WString& text) {
  int count = 0;
  for (const auto& line : trace.Lines()) count += line.tag == tag && line.text == text;
  return count;
}

TEST(ArtistUrlCache, RootFolderGetsOneSeparator) {
  const struct {
    const char16_t* given;
    const char16_t* kept;
  } cases[] = {{u"/tmp/c", u"/tmp/c/"}, {u"/tmp/c/", u"/tmp/c/"}, {u"", u""}, {u"/", u"/"}};
  for (const auto& c : cases) {
    EXPECT_EQ(CArtistUrlCache(c.given, u"S", u"I").RootFolder(), c.kept);
  }
  TempDir dir;
  CArtistUrlCache without(Wide(dir.path()), u"S", u"I");
  CArtistUrlCache with(Wide(dir.path() + "/"), u"S", u"I");
  WString first;
  WString second;
  ASSERT_EQ(without.GetCacheFileName(u"Abba", first), 1);
  ASSERT_EQ(with.GetCacheFileName(u"Abba", second), 1);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, Wide(dir.path() + "/S/I/A.ARTISTCACHE"));
}

TEST(ArtistUrlCache, FileNamedAfterLeadingCharacter) {
  const struct {
    const char16_t* name;
    const char* file;  // null: no file
  } cases[] = {
      {u"abba", "A"},  {u"Abba", "A"},  {u"zz top", "Z"},   {u"2Pac", "#"},
      {u"50 Cent", "#"}, {u"!!!", nullptr}, {u"\u00C9dith Piaf", nullptr},
      {u" Abba", nullptr}, {u"", nullptr},
  };
  CacheFixture f;
  TraceCapture trace;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "name " << (&c - cases));
    WString path;
    const std::int32_t result = f.cache.GetCacheFileName(c.name, path);
    EXPECT_EQ(result, c.file ? 1 : 0);
    if (c.file) {
      EXPECT_EQ(path, Wide(f.FileFor(c.file)));
    }
    EXPECT_EQ(CountLines(trace, u"INF", WString(u"GetCacheFileName():GetLeadingChar fails: ") +
                                            c.name),
              c.file ? 0 : 1);
  }
  // Both sub-folders were made on the way.
  EXPECT_TRUE(platform::File::IsDirectory(Wide(f.dir.path() + "/Tunewell/0123abcd")));
}

TEST(ArtistUrlCache, NamesWithoutLeadingLetterAreNeitherReadNorWritten) {
  CacheFixture f;
  TraceCapture trace;
  const WString name = u"!Action";
  WString url = u"unchanged";
  EXPECT_EQ(f.cache.WriteArtistUrl(name, u"site/x"), 0);
  EXPECT_EQ(f.cache.ReadArtistUrl(name, url, 1000.0f), 0);
  EXPECT_EQ(url, u"unchanged");
  EXPECT_EQ(CountLines(trace, u"INF", u"GetCacheFileName():GetLeadingChar fails: " + name), 2);
  EXPECT_TRUE(testing_support::ListFiles(f.dir.path() + "/Tunewell/0123abcd").empty());
}

TEST(ArtistUrlCache, FolderCreationFailures) {
  TempDir dir;
  TraceCapture trace;
  // The root itself is not made: only one level per sub-folder.
  {
    CArtistUrlCache cache(Wide(dir.path() + "/missing"), u"S", u"I");
    WString path;
    EXPECT_EQ(cache.GetCacheFileName(u"Abba", path), 0);
    const WString folder = Wide(dir.path() + "/missing/S/");
    EXPECT_TRUE(trace.Contains(u"ERR", u"GetCacheFileName():Can not create directory: " + folder +
                                           u",  GetLastError():3, "));
  }
  // The second level fails the same way.
  {
    CArtistUrlCache cache(Wide(dir.path()), u"S", u"a/b");
    WString path;
    EXPECT_EQ(cache.GetCacheFileName(u"Abba", path), 0);
    const WString folder = Wide(dir.path() + "/S/a/b/");
    EXPECT_TRUE(trace.Contains(u"ERR", u"GetCacheFileName():Can not create directory: " + folder +
                                           u",  GetLastError():3, "));
    WString url;
    EXPECT_EQ(cache.ReadArtistUrl(u"Abba", url, 1.0f), 0);
    EXPECT_EQ(cache.WriteArtistUrl(u"Abba", u"x"), 0);
  }
}

TEST(ArtistUrlCache, ExactLookup) {
  CacheFixture f;
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"site.test/a/abba.html"), 1);
  ASSERT_EQ(f.cache.WriteArtistUrl(u"AC/DC", u"site.test/a/acdc.html"), 1);
  const struct {
    const char16_t* name;
    std::int32_t result;
    const char16_t* url;
  } cases[] = {
      {u"Abba", 1, u"site.test/a/abba.html"},
      {u"aBBA", 1, u"site.test/a/abba.html"},   // the profile match ignores case
      {u"AC/DC", 1, u"site.test/a/acdc.html"},
      {u"Abbas", 0, u""},                       // not exact, and nothing below threshold 0
  };
  for (const auto& c : cases) {
    WString url = u"stale";
    // Threshold 0 admits no similar section: only the exact read can answer.
    EXPECT_EQ(f.cache.ReadArtistUrl(c.name, url, 0.0f), c.result);
    EXPECT_EQ(url, c.url);
  }
}

TEST(ArtistUrlCache, SimilarLookup) {
  CacheFixture f;
  for (const char16_t* name :
       {u"Beatles", u"Beatless", u"Beatlesss", u"Bextles", u"Ab   ba"}) {
    ASSERT_EQ(f.cache.WriteArtistUrl(name, WString(u"u/") + name), 1);
  }
  const struct {
    const char16_t* name;
    float threshold;
    const char16_t* url;  // null: not found
  } cases[] = {
      {u"The Beatles", 1000.0f, nullptr},     // lives in file T, not B
      {u"Beatle", 70.0f, nullptr},            // 70 is not below 70
      {u"Beatle", 70.5f, u"u/Beatles"},
      {u"Beatlessss", 100.0f, u"u/Beatlesss"},  // the running threshold picks the closest
      {u"Beatxes", 200.0f, u"u/Beatles"},       // a tie at 100 keeps the earlier section
      {u"beatles  ", 1.0f, u"u/Beatles"},       // exact after trimming
      {u" Beatles", 1000.0f, nullptr},          // a leading space has no file
      {u"Abba", 20.0f, u"u/Ab   ba"},           // 3 spaces at 5: the widest gap kept below 20
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    WString url;
    EXPECT_EQ(f.cache.ReadArtistUrl(c.name, url, c.threshold), c.url ? 1 : 0);
    if (c.url) {
      EXPECT_EQ(url, c.url);
    }
  }
}

TEST(ArtistUrlCache, EmptyAddressCountsAsMissing) {
  CacheFixture f;
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u""), 1);
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abbas", u"site/abbas"), 1);
  WString url;
  // The exact read finds nothing; the closest section is Abba itself (0.0), which is empty.
  EXPECT_EQ(f.cache.ReadArtistUrl(u"Abba", url, 100.0f), 0);
  EXPECT_EQ(f.cache.ReadArtistUrl(u"Abbasx", url, 100.0f), 1);
  EXPECT_EQ(url, u"site/abbas");
}

TEST(ArtistUrlCache, LongAddressComesBackCut) {
  CacheFixture f;
  const WString longUrl = u"site.test/" + WString(600, u'x');
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Long", longUrl), 1);
  WString url;
  EXPECT_EQ(f.cache.ReadArtistUrl(u"Long", url, 1.0f), 1);
  EXPECT_EQ(url, longUrl.substr(0, 499));
}

// Names come from the site: ones that could break or forge sections are refused and logged.
TEST(ArtistUrlCache, RefusesNamesThatCouldForgeSections) {
  CacheFixture f;
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"site/abba"), 1);
  const std::string before = ReadFileBytes(f.FileFor("A"));
  TraceCapture trace;
  for (const char16_t* name : {u"Abba]\r\n[Evil", u"A\nB", u"A\rB", u"A]B", u"A[B", u"A\tB",
                               u"A\u007FB", u"A\u0085B", u"A\u0001"}) {
    EXPECT_EQ(f.cache.WriteArtistUrl(name, u"site/evil"), 0);
    EXPECT_EQ(CountLines(trace, u"DBG", WString(u"WriteArtistUrl to LocalCache fails for: ") +
                                            name),
              1);
  }
  EXPECT_EQ(f.cache.WriteArtistUrl(WString(u"A\0B", 3), u"site/evil"), 0);
  EXPECT_EQ(ReadFileBytes(f.FileFor("A")), before);
  // An address that would break its line is refused by the profile layer and logged alike.
  EXPECT_EQ(f.cache.WriteArtistUrl(u"Abba", u"site/x\r\n[Abc]"), 0);
  EXPECT_EQ(CountLines(trace, u"DBG", u"WriteArtistUrl to LocalCache fails for: Abba"), 1);
  EXPECT_EQ(ReadFileBytes(f.FileFor("A")), before);
}

TEST(ArtistUrlCache, ReadSectionNamesGrowsItsBuffer) {
  TempDir dir;
  const std::string path = dir.File("N.ARTISTCACHE");
  std::string content;
  std::vector<WString> expected;
  // 1500 names of 9 characters: 15 000 characters of list, past 4096 and 8192.
  for (int i = 0; i < 1500; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Name%05d", i);
    content += std::string("[") + name + "]\r\nArtistUrl=x\r\n";
    expected.push_back(Wide(name));
  }
  std::ofstream(path, std::ios::binary) << content;
  std::vector<WString> names = {u"stale"};
  CArtistUrlCache::ReadSectionNames(Wide(path), names);
  EXPECT_EQ(names, expected);
  CArtistUrlCache::ReadSectionNames(Wide(dir.File("missing")), names);
  EXPECT_TRUE(names.empty());
}

// Written files are plain INI text that any INI reader takes.
TEST(ArtistUrlCache, FilesAreOrdinaryIniText) {
  CacheFixture f;
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"site.test/abba.html"), 1);
  ASSERT_EQ(f.cache.WriteArtistUrl(u"A-ha", u"site.test/a-ha.html?x=1&y=%20"), 1);
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"site.test/abba2.html"), 1);
  ASSERT_EQ(f.cache.WriteArtistUrl(u"\u00C5ngstr\u00F6m", u"x"), 0);  // no file for non-ASCII
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Air \u00E9t\u00E9", u"site.test/air.html"), 1);
  const std::string file = f.FileFor("A");
  EXPECT_EQ(ReadFileBytes(file),
            "[Abba]\r\nArtistUrl=site.test/abba2.html\r\n"
            "[A-ha]\r\nArtistUrl=site.test/a-ha.html?x=1&y=%20\r\n"
            "[Air \xC3\xA9t\xC3\xA9]\r\nArtistUrl=site.test/air.html\r\n");
#ifndef _WIN32  // python3 is a Linux program: a Windows program gets none of its output
  const std::string command =
      "python3 -c 'import configparser,sys\n"
      "p=configparser.ConfigParser(interpolation=None)\n"
      "p.read(sys.argv[1],encoding=\"utf-8\")\n"
      "for s in p.sections(): print(s+\"|\"+p[s][\"ArtistUrl\"])' " + file;
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, pipe)) output += chunk;
  ASSERT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(output,
            "Abba|site.test/abba2.html\n"
            "A-ha|site.test/a-ha.html?x=1&y=%20\n"
            "Air \xC3\xA9t\xC3\xA9|site.test/air.html\n");
#endif
}

// Two processes filling the same cache file at once, entry by entry or in passes of 50 as the
// artist search writes them: every entry of both is there afterwards.
WString WriterName(int writer, int i) { return Wide("M" + std::to_string(writer * 100000 + i)); }
WString WriterUrl(int writer, int i) {
  return Wide("site.test/m/" + std::to_string(writer) + "/" + std::to_string(i));
}

// A writer process: FOLDER WRITER PASSES PER_PASS.
int CacheWriter(const std::vector<std::string>& arguments) {
  const int writer = std::stoi(arguments[1]), passes = std::stoi(arguments[2]),
            perPass = std::stoi(arguments[3]);
  CArtistUrlCache own(Wide(arguments[0]), u"Tunewell", u"0123abcd");
  for (int p = 0; p < passes; ++p) {
    const CArtistUrlCache::WritePass pass(perPass > 1 ? &own : nullptr);
    for (int i = p * perPass; i < (p + 1) * perPass; ++i) {
      if (own.WriteArtistUrl(WriterName(writer, i), WriterUrl(writer, i)) != 1) return 1;
    }
  }
  return 0;
}

TEST(ArtistUrlCache, TwoProcessesShareOneFile) {
  testing_support::RunIfChild(CacheWriter);
  const struct {
    int passes;
    int perPass;  // 1: no pass, each write on its own
  } cases[] = {{500, 1}, {200, 50}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.perPass);
    CacheFixture f;
    const int perWriter = c.passes * c.perPass;
    {
      testing_support::ChildProcess writers[] = {
          {CacheWriter, {f.dir.path(), "0", std::to_string(c.passes), std::to_string(c.perPass)}},
          {CacheWriter, {f.dir.path(), "1", std::to_string(c.passes), std::to_string(c.perPass)}},
      };
      for (auto& writer : writers) {
        ASSERT_TRUE(writer.Started());
        EXPECT_EQ(writer.Wait(), 0);
      }
    }
    std::vector<WString> sections;
    CArtistUrlCache::ReadSectionNames(Wide(f.FileFor("M")), sections);
    EXPECT_EQ(sections.size(), 2u * perWriter);
    // No temporary file is left beside the cache file.
    EXPECT_EQ(testing_support::ListFiles(f.dir.path() + "/Tunewell/0123abcd"),
              std::vector<std::string>{"M.ARTISTCACHE"});
    for (int w = 0; w < 2; ++w) {
      for (int i = 0; i < perWriter; ++i) {
        WString found;
        EXPECT_EQ(f.cache.ReadArtistUrl(WriterName(w, i), found, 0.0f), 1);
        EXPECT_EQ(found, WriterUrl(w, i));
      }
    }
  }
}

// Within a pass the object's own reads see its queued entries, exact and similar, while other
// objects see the files as they were; the end of the pass (or of the object) writes them, each
// file once, a name written twice keeping its first spelling and its last address.
TEST(ArtistUrlCache, PassQueuesWritesUntilItEnds) {
  CacheFixture f;
  CArtistUrlCache other(f.dir.wpath(), u"Tunewell", u"0123abcd");
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"old"), 1);
  auto read = [](CArtistUrlCache& cache, const char16_t* name, float threshold) {
    WString url;
    return cache.ReadArtistUrl(name, url, threshold) ? url : u"-";
  };
  {
    const CArtistUrlCache::WritePass pass(&f.cache);
    {
      const CArtistUrlCache::WritePass inner(&f.cache);
      EXPECT_EQ(f.cache.WriteArtistUrl(u"Abba", u"new"), 1);
      EXPECT_EQ(f.cache.WriteArtistUrl(u"Aqua", u"aqua"), 1);
      EXPECT_EQ(f.cache.WriteArtistUrl(u"aqua ", u"aqua2"), 1);
      EXPECT_EQ(f.cache.WriteArtistUrl(u"Blur", u"blur"), 1);
      EXPECT_EQ(f.cache.WriteArtistUrl(u"Bad\nName", u"x"), 0);  // refused at once
    }
    EXPECT_EQ(read(f.cache, u"ABBA", 1.0f), u"new");
    EXPECT_EQ(read(f.cache, u"Aqu", 71.0f), u"aqua2");  // a queued name only, found as similar
    EXPECT_EQ(read(f.cache, u"Abb", 71.0f), u"new");    // a file name with a queued address
    EXPECT_EQ(read(other, u"Abba", 1.0f), u"old");
    EXPECT_EQ(read(other, u"Aqua", 1.0f), u"-");
    EXPECT_EQ(ReadFileBytes(f.FileFor("A")), "[Abba]\r\nArtistUrl=old\r\n");
  }
  EXPECT_EQ(ReadFileBytes(f.FileFor("A")),
            "[Abba]\r\nArtistUrl=new\r\n[Aqua]\r\nArtistUrl=aqua2\r\n");
  EXPECT_EQ(read(other, u"Blur", 1.0f), u"blur");
  {
    const CArtistUrlCache::WritePass pass(&other);
    EXPECT_EQ(other.WriteArtistUrl(u"Dido", u"dido"), 1);
    EXPECT_EQ(read(other, u"Did", 71.0f), u"dido");  // the last name queued is offered too
  }
  {
    CArtistUrlCache dying(f.dir.wpath(), u"Tunewell", u"0123abcd");
    dying.BeginWritePass();
    EXPECT_EQ(dying.WriteArtistUrl(u"Cher", u"cher"), 1);
  }
  EXPECT_EQ(read(other, u"Cher", 1.0f), u"cher");
}

#ifndef _WIN32
// A file another process keeps locked: each pass goes on without it, and only the first one
// waits for the lock; the log says so once.
TEST(ArtistUrlCache, AFileLockedElsewhereIsLeftAfterOneWait) {
  CacheFixture f;
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"old"), 1);
  const int holder = ::open(f.FileFor("A").c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  TraceCapture trace;
  for (const char16_t* name : {u"Aqua", u"Alma"}) {
    const CArtistUrlCache::WritePass pass(&f.cache);
    EXPECT_EQ(f.cache.WriteArtistUrl(name, u"x"), 1);
  }
  EXPECT_EQ(f.cache.WriteArtistUrl(u"Arca", u"x"), 0);
  ::close(holder);
  EXPECT_EQ(CountLines(trace, u"WRN", u"LocalCache file is locked by another process, going on "
                                      u"without it: " + Wide(f.FileFor("A"))), 1);
  EXPECT_EQ(CountLines(trace, u"DBG", u"WriteArtistUrl to LocalCache fails for: Alma"), 1);
  EXPECT_EQ(ReadFileBytes(f.FileFor("A")), "[Abba]\r\nArtistUrl=old\r\n");
}
#endif

#ifndef _WIN32
// A pass of a result page's 50 names puts them in place with one replacement of the file, not
// one each: a file of 100 000 sections is rewritten once per page.
TEST(ArtistUrlCache, APassReplacesTheFileOnce) {
  CacheFixture f;
  ASSERT_EQ(f.cache.WriteArtistUrl(u"Abba", u"old"), 1);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  // Creations too, between the moves: the kernel merges a move with an identical one before it.
  ASSERT_GE(::inotify_add_watch(watch, (f.dir.path() + "/Tunewell/0123abcd").c_str(),
                                IN_MOVED_TO | IN_CREATE),
            0);
  {
    const CArtistUrlCache::WritePass pass(&f.cache);
    for (int i = 0; i < 50; ++i) {
      EXPECT_EQ(f.cache.WriteArtistUrl(Wide("A" + std::to_string(i)), u"x"), 1);
    }
  }
  int replacements = 0;
  alignas(inotify_event) char events[4096];
  for (ssize_t got; (got = ::read(watch, events, sizeof events)) > 0;) {
    for (const char* at = events; at < events + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      replacements += (event->mask & IN_MOVED_TO) != 0 && event->len > 0 &&
                      std::string(event->name) == "A.ARTISTCACHE";
      at += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  EXPECT_EQ(replacements, 1);
  std::vector<WString> sections;
  CArtistUrlCache::ReadSectionNames(Wide(f.FileFor("A")), sections);
  EXPECT_EQ(sections.size(), 51u);
}
#endif

// The similar lookup skips sections by length and stops tables early; it must choose exactly
// as the full scan over the listed section names does, on files any editor could have written:
// brackets, punctuation, case twins, duplicates, zero units, names of every length.
TEST(ArtistUrlCache, PrunedLookupAgreesWithFullScan) {
  const WString alphabet = u"abcdeSsAB   .,-'&!019()[]{}<>";
  const std::size_t plainLetters = alphabet.find(u'(');  // half the names hold no bracket
  std::mt19937 rng(4711);
  auto randomName = [&](std::size_t maxLength) {
    WString name = u"S";
    const std::size_t letters = rng() % 2 ? plainLetters : alphabet.size();
    for (std::size_t k = rng() % maxLength; k > 0; --k) name += alphabet[rng() % letters];
    return name;
  };
  // A close relative: a few random edits, so that some lookups land below the threshold.
  auto mutate = [&](WString name) {
    for (int k = static_cast<int>(rng() % 3); k > 0; --k) {
      const std::size_t at = 1 + rng() % name.size();
      const char16_t c = alphabet[rng() % alphabet.size()];
      switch (rng() % 3) {
        case 0: name.insert(at, 1, c); break;
        case 1: if (at < name.size()) name.erase(at, 1); break;
        default: if (at < name.size()) name[at] = c;
      }
    }
    return name;
  };
  const float thresholds[] = {0.5f, 1.0f, 5.0f, 20.0f, 70.5f, 150.0f, 1000.0f};
  const CNameDistance measure(0);
  int disagreements = 0;
  int similarHits = 0;
  for (int trial = 0; trial < 120; ++trial) {
    CacheFixture f;
    std::vector<WString> names;
    std::string bytes;
    for (int i = 0, count = static_cast<int>(rng() % 300); i < count; ++i) {
      WString name =
          names.empty() || rng() % 4 ? randomName(24) : mutate(names[rng() % names.size()]);
      if (rng() % 50 == 0) name.insert(1 + rng() % name.size(), 1, u'\0');
      names.push_back(name);
      std::string narrow(name.begin(), name.end());
      bytes += "[" + narrow + "]\r\nArtistUrl=u/" + std::to_string(i) + "\r\n";
    }
    std::filesystem::create_directories(f.dir.path() + "/Tunewell/0123abcd");
    std::ofstream(f.FileFor("S"), std::ios::binary) << bytes;
    const WString path = Wide(f.FileFor("S"));
    for (int q = 0; q < 15; ++q) {
      const WString wanted =
          names.empty() || q % 3 == 0 ? randomName(24) : mutate(names[rng() % names.size()]);
      const float given = thresholds[rng() % std::size(thresholds)];
      float threshold = given;
      // The reference: exact read, else every listed name in order with the full distance.
      char16_t buffer[CArtistUrlCache::kUrlBufferSize];
      WString expected;
      if (profile::ReadProfileString(wanted.c_str(), u"ArtistUrl", u"", buffer,
                                      CArtistUrlCache::kUrlBufferSize, path) > 0) {
        expected = buffer;
      } else {
        std::vector<WString> sections;
        CArtistUrlCache::ReadSectionNames(path, sections);
        const WString* closest = nullptr;
        for (const WString& section : sections) {
          const float distance = measure.Distance(wanted, section);
          if (distance < threshold) {
            closest = &section;
            threshold = distance;
            if (distance == 0.0f) break;
          }
        }
        if (closest != nullptr &&
            profile::ReadProfileString(closest->c_str(), u"ArtistUrl", u"", buffer,
                                        CArtistUrlCache::kUrlBufferSize, path) > 0) {
          expected = buffer;
          ++similarHits;
        }
      }
      WString url;
      const int result = f.cache.ReadArtistUrl(wanted, url, given);
      if (result != (expected.empty() ? 0 : 1) || (result == 1 && url != expected)) {
        if (++disagreements <= 5) {
          ADD_FAILURE() << "trial " << trial << " query " << q << " threshold " << given
                        << ": got " << result << " " << Narrow(url) << ", expected "
                        << Narrow(expected);
        }
      }
    }
  }
  EXPECT_EQ(disagreements, 0);
  EXPECT_GT(similarHits, 200);  // the cases reach the similar lookup's choice, not just misses
}

}  // namespace
