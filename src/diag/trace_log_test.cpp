#include "diag/trace_log.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>
#include <regex>
#include <thread>

#include "platform/file.h"
#include "platform/process.h"
#include "platform/system_error.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ListFiles;
using testing_support::Narrow;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

// The UTF-16 LE content of a trace file, after checking its byte-order mark.
WString ReadTraceFile(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  EXPECT_GE(bytes.size(), 2u);
  EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2)) << path;
  EXPECT_EQ(0u, bytes.size() % 2);
  WString text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}

std::vector<std::string> SplitLines(const WString& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(u"\r\n", start)) != WString::npos; start = end + 2) {
    lines.push_back(Narrow(text.substr(start, end - start)));
  }
  EXPECT_EQ(text.size(), start) << "the file ends with a whole line";
  return lines;
}

std::vector<std::string> TraceFiles(const TempDir& dir) {
  std::vector<std::string> names;
  for (auto& name : ListFiles(dir.path())) {
    if (name.rfind("Tunewell_", 0) == 0) names.push_back(name);
  }
  return names;
}

std::vector<std::string> OnlyFileLines(const TempDir& dir) {
  const auto files = TraceFiles(dir);
  EXPECT_EQ(1u, files.size());
  if (files.empty()) return {};
  return SplitLines(ReadTraceFile(dir.File(files[0])));
}

TEST(TraceWriter, LevelTags) {
  const std::pair<int, const char*> cases[] = {
      {-1, ""}, {0, ""}, {9, ""}, {10, "ERR"}, {19, "ERR"}, {20, "WRN"}, {30, "INF"},
      {40, "DBG"}, {49, "DBG"}, {50, "-->"}, {60, "---"}, {69, "---"}, {70, ""}, {1000, ""},
  };
  for (const auto& [level, tag] : cases) EXPECT_EQ(tag, Narrow(CTraceWriter::LevelTag(level))) << level;
}

TEST(TraceLog, LevelFilterAndLineFormat) {
  TempDir dir;
  CTraceLog log;
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Error);
  log.SetLevelName(u"Info");
  const std::pair<int, bool> entries[] = {
      {CTraceLog::Debug, false}, {CTraceLog::Info, true}, {CTraceLog::Warning, true},
      {CTraceLog::Error, true}, {31, false}, {0, true},
  };
  for (const auto& [level, _] : entries) log.Write(level, u"entry " + encoding::Format(u"%d", level));
  const auto lines = OnlyFileLines(dir);
  const std::string tid = Narrow(encoding::Format(u"%X", platform::CurrentThreadId()));
  const std::regex header("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3} " + tid + " ([A-Z]*): (.*)$");
  std::vector<std::string> seen;
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, header)) << line;
    seen.push_back(m[1].str() + "|" + m[2].str());
  }
  EXPECT_EQ((std::vector<std::string>{"INF|entry 30", "WRN|entry 20", "ERR|entry 10", "|entry 0"}), seen);
}

TEST(TraceLog, LevelNames) {
  const std::pair<const char16_t*, int> cases[] = {
      {u"Error", 10}, {u"Warning", 20}, {u"Info", 30}, {u"Debug", 40}, {u"Detail", 40},
      {u"Verbose", 40}, {u"debug", 10}, {u"", 10}, {u"Trace", 10},
  };
  CTraceLog log;
  for (const auto& [name, level] : cases) {
    log.SetLevelName(name);
    EXPECT_EQ(level, log.Writer().Level()) << Narrow(name);
  }
  log.Writer().SetLevel(-5);
  EXPECT_EQ(0, log.Writer().Level());
}

TEST(TraceLog, NothingBeforeConfigureAndLevelSetEarlierIsOverwritten) {
  TempDir dir;
  CTraceLog log;
  log.SetLevelName(u"Debug");
  log.Write(CTraceLog::Error, u"before configure");
  EXPECT_TRUE(ListFiles(dir.path()).empty());
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Error);
  EXPECT_EQ(CTraceLog::Error, log.Writer().Level());
  log.Write(CTraceLog::Debug, u"dropped at level Error");
  EXPECT_TRUE(ListFiles(dir.path()).empty()) << "the file is created by the first line written";
  log.Write(CTraceLog::Error, u"written");
  const auto lines = OnlyFileLines(dir);
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("ERR: written"));
}

TEST(TraceLog, TextPassesThroughUnchanged) {
  TempDir dir;
  CTraceLog log;
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Debug);
  const WString texts[] = {u"100% sure", u"%s %d %n %%", u"caf\u00e9 \u4e2d", u"two\r\nlines"};
  for (const auto& text : texts) log.Write(CTraceLog::Error, text);
  log.WriteFormat(CTraceLog::Error, u"%s=%d", u"%s", 5);
  log.WriteLastError(CTraceLog::Error, u"UrlGetHost: InternetCrackUrl", 12006);
  diag::TraceFormat(CTraceLog::Error,
                    nullptr);  // writes nothing, and there is no global log anyway
  const WString content = ReadTraceFile(dir.File(TraceFiles(dir).at(0)));
  for (const auto& text : texts) {
    EXPECT_NE(WString::npos, content.find(u"ERR: " + text + u"\r\n")) << Narrow(text);
  }
  EXPECT_NE(WString::npos, content.find(u"ERR: %s=5\r\n"));
  // The system's own text of the error (Wine's message tables word it differently).
  EXPECT_NE(WString::npos, content.find(u"ERR: UrlGetHost: InternetCrackUrl GetLastError():12006, " +
                                        platform::ErrorText(12006) + u"\r\n"));
}

TEST(TraceLog, FileNameAndDefaultParentLogName) {
  TempDir dir;
  CTraceLog log;
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"x");
  const std::string pid = Narrow(encoding::Format(u"%X", platform::CurrentProcessId()));
  const auto files = TraceFiles(dir);
  ASSERT_EQ(1u, files.size());
  EXPECT_TRUE(std::regex_match(files[0], std::regex("Tunewell_20[0-9]{6}_[0-9]{6}_" + pid + "\\.txt")))
      << files[0];
  const std::string parent = Narrow(log.ParentLogPath());
  EXPECT_TRUE(std::regex_match(parent, std::regex(dir.path() + "/20[0-9]{6}_[0-9]{6}_" + pid + "\\.txt")))
      << parent;
  char16_t buffer[CTraceLog::kPathBufferSize] = {};
  ASSERT_TRUE(log.GetFilePath(buffer, CTraceLog::kPathBufferSize));
  EXPECT_EQ(dir.File(files[0]), Narrow(buffer));
  char16_t tiny[4] = {u'k', 0, 0, 0};
  EXPECT_FALSE(log.GetFilePath(tiny, 4));
  EXPECT_EQ(u'k', tiny[0]) << "a path that does not fit leaves the buffer alone";
}

TEST(TraceLog, FolderWithTrailingSeparatorGetsNoSecondOne) {
  TempDir dir;
  CTraceLog log;
  log.Configure(dir.wpath() + u"/", u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"x");
  char16_t buffer[CTraceLog::kPathBufferSize] = {};
  ASSERT_TRUE(log.GetFilePath(buffer, CTraceLog::kPathBufferSize));
  EXPECT_EQ(std::string::npos, Narrow(buffer).find("//"));
}

platform::LocalTime fakeNow;
platform::LocalTime FakeClock() { return fakeNow; }

TEST(TraceLog, WriteAfterMidnightStartsANewFile) {
  TempDir dir;
  CTraceLog log;
  log.Writer().SetClock(&FakeClock);
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Error);
  fakeNow = {2026, 12, 31, 23, 59, 59, 990};
  log.Write(CTraceLog::Error, u"old year");
  log.Write(CTraceLog::Error, u"still old year");
  fakeNow = {2027, 1, 1, 0, 0, 0, 5};
  log.Write(CTraceLog::Error, u"new year");
  const std::string pid = Narrow(encoding::Format(u"%X", platform::CurrentProcessId()));
  const auto files = TraceFiles(dir);
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ("Tunewell_20261231_235959_" + pid + ".txt", files[0]);
  EXPECT_EQ("Tunewell_20270101_000000_" + pid + ".txt", files[1]);
  const auto oldLines = SplitLines(ReadTraceFile(dir.File(files[0])));
  const auto newLines = SplitLines(ReadTraceFile(dir.File(files[1])));  // checks its own mark
  ASSERT_EQ(2u, oldLines.size());
  ASSERT_EQ(1u, newLines.size());
  EXPECT_EQ("23:59:59.990", oldLines[0].substr(0, 12));
  EXPECT_EQ("00:00:00.005", newLines[0].substr(0, 12));
}

#ifndef _WIN32
// The trace file's name can be foreseen (the date, the time, the process): what another user
// planted there beforehand is refused at once, neither waited on (a FIFO) nor followed (a link
// of theirs to root's file), and the line is lost rather than the run held or the file harmed.
TEST(TraceLog, WhatIsPlantedUnderTheTraceFilesNameIsNotUsed) {
  TempDir dir;
  const std::string pid = Narrow(encoding::Format(u"%X", platform::CurrentProcessId()));
  ASSERT_EQ(::mkfifo(dir.File("Tunewell_20261231_235959_" + pid + ".txt").c_str(), 0600), 0);
  const bool asRoot = ::geteuid() == 0;
  if (asRoot) {
    std::ofstream(dir.File("root's")) << "kept";
    const std::string link = dir.File("Tunewell_20270101_000000_" + pid + ".txt");
    ASSERT_EQ(::symlink(dir.File("root's").c_str(), link.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), 4321, 4321), 0);
  }
  CTraceLog log;
  log.Writer().SetClock(&FakeClock);
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Error);
  fakeNow = {2026, 12, 31, 23, 59, 59, 990};
  log.Write(CTraceLog::Error, u"into the FIFO");
  fakeNow = {2027, 1, 1, 0, 0, 0, 5};
  log.Write(CTraceLog::Error, u"through the link");
  if (asRoot) {
    EXPECT_EQ("kept", ReadFileBytes(dir.File("root's")));
  }
}
#endif

TEST(TraceLog, TwoThreadsWriteWholeLines) {
  TempDir dir;
  CTraceLog log;
  log.Configure(dir.wpath(), u"Tunewell", CTraceLog::Error);
  constexpr int kLines = 10000;
  auto writer = [&](const char16_t* who) {
    for (int i = 0; i < kLines; ++i) log.WriteFormat(CTraceLog::Error, u"%s line %d end", who, i);
  };
  std::thread a(writer, u"alpha");
  std::thread b(writer, u"beta");
  a.join();
  b.join();
  const auto lines = OnlyFileLines(dir);
  ASSERT_EQ(2u * kLines, lines.size());
  const std::regex whole("^\\S+ [0-9A-F]+ ERR: (alpha|beta) line ([0-9]+) end$");
  int next[2] = {0, 0};
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
    int& expected = next[m[1] == "alpha" ? 0 : 1];
    EXPECT_EQ(expected, std::stoi(m[2])) << "each thread's lines stay in order";
    ++expected;
  }
}

TEST(TraceLog, CloseThenConfigureElsewhereStartsThere) {
  TempDir first, second;
  CTraceLog log;
  log.Configure(first.wpath(), u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"one");
  log.Configure(second.wpath(), u"Tunewell", CTraceLog::Error);  // already running: no change
  log.Write(CTraceLog::Error, u"two");
  log.Close();
  EXPECT_FALSE(log.IsConfigured());
  log.Write(CTraceLog::Error, u"dropped while closed");
  log.Configure(second.wpath(), u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"three");
  EXPECT_EQ(2u, OnlyFileLines(first).size());
  const auto lines = OnlyFileLines(second);
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("three"));
}

TEST(TraceLog, UnwritableFolderDropsLinesAndRetries) {
  TempDir dir;
  const std::string folder = dir.File("later");
  CTraceLog log;
  log.Configure(platform::PathFromNative(folder), u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"lost: the folder does not exist");
  EXPECT_FALSE(platform::File::Exists(platform::PathFromNative(folder)));
  ASSERT_TRUE(platform::File::CreateDirectory(platform::PathFromNative(folder)));
  log.Write(CTraceLog::Error, u"kept");
  std::vector<std::string> files = ListFiles(folder);
  ASSERT_EQ(1u, files.size());
  const auto lines = SplitLines(ReadTraceFile(folder + "/" + files[0]));
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("kept"));
}

TEST(TraceLog, OverlongFileNameWritesNoFile) {
  TempDir dir;
  // Nested folders whose path alone is beyond the 1000-character limit of a trace path.
  std::string folder = dir.path();
  while (folder.size() < 1010) {
    folder += "/" + std::string(100, 'd');
    ASSERT_TRUE(platform::File::CreateDirectory(platform::PathFromNative(folder)));
  }
  // An earlier file in a short folder: the refused name must not leave the writer pointing at
  // it, or the merge below would take and delete it.
  TempDir earlier;
  CTraceLog log;
  log.Configure(earlier.wpath(), u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"kept in the earlier file");
  log.Close();
  log.Configure(platform::PathFromNative(folder), u"Tunewell", CTraceLog::Error);
  log.Write(CTraceLog::Error, u"nowhere to go");
  char16_t buffer[CTraceLog::kPathBufferSize] = {};
  EXPECT_TRUE(log.GetFilePath(buffer, CTraceLog::kPathBufferSize));
  EXPECT_EQ(u"", WString(buffer)) << "no path was taken";
  log.SetParentLogPath(platform::PathFromNative(dir.File("parent.txt")));
  log.CloseAndMergeLog();
  EXPECT_EQ(1u, OnlyFileLines(earlier).size()) << "the earlier file stays whole";
  // Neither the folder nor any folder above it gained a file (a cut name would land there), and
  // no parent log was written.
  for (std::string walk = dir.path(); walk.size() <= folder.size();
       walk += "/" + std::string(100, 'd')) {
    EXPECT_TRUE(ListFiles(walk).empty()) << walk;
  }
}

}  // namespace
