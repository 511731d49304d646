#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <iostream>
#include <memory>
#include <thread>
#include <regex>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif
#endif

#include "diag/trace_log.h"
#include "platform/file.h"
#include "support/child_process.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ListFiles;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// A configured log in `folder` that wrote `lines` (at Error), with its own file name returned.
std::string WriteChild(CTraceLog& log, const TempDir& folder, std::initializer_list<const char16_t*> lines) {
  log.Configure(folder.wpath(), u"Tunewell", CTraceLog::Error);
  for (const char16_t* line : lines) log.Write(CTraceLog::Error, line);
  char16_t path[CTraceLog::kPathBufferSize] = {};
  log.GetFilePath(path, CTraceLog::kPathBufferSize);
  const std::string full = testing_support::Narrow(path);
  return full.substr(full.find_last_of('/') + 1);
}

// The lines of the child file as the parent must show them: the text after each header.
std::vector<std::u16string> ChildLines(const std::string& bytes) {
  std::u16string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  std::vector<std::u16string> lines;
  for (std::size_t start = 0, end; (end = text.find(u"\r\n", start)) != std::u16string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string ExpectedSection(const std::string& childName, const std::vector<std::u16string>& lines) {
  std::u16string section = u"\r\n" + std::u16string(childName.begin(), childName.end()) + u"\r\n";
  for (const auto& line : lines) section += line + u"\r\n";
  return Utf16(section);
}

TEST(CloseAndMergeLog, NewParentStartsWithMarkThenTheSection) {
  TempDir folder;
  CTraceLog log;
  const std::string child = WriteChild(log, folder, {u"first line", u"second % line"});
  const auto lines = ChildLines(ReadFileBytes(folder.File(child)));
  ASSERT_EQ(2u, lines.size());
  const std::string parent = folder.File("parent.txt");
  log.SetParentLogPath(platform::PathFromNative(parent));
  log.CloseAndMergeLog();

  EXPECT_EQ("\xFF\xFE" + ExpectedSection(child, lines), ReadFileBytes(parent));
  EXPECT_FALSE(platform::File::Exists(platform::PathFromNative(folder.File(child))))
      << "the merged child is deleted";
  EXPECT_FALSE(log.IsConfigured());
  log.Write(CTraceLog::Error, u"dropped after the merge");
  EXPECT_EQ((std::vector<std::string>{"parent.txt"}), ListFiles(folder.path()));
}

TEST(CloseAndMergeLog, ExistingParentGainsSectionsWithoutSecondMark) {
  TempDir folder;
  const std::string parent = folder.File("parent.txt");
  const std::string earlier = "\xFF\xFE" + Utf16(u"earlier content\r\n");
  std::ofstream(parent, std::ios::binary) << earlier;

  std::string expected = earlier;
  for (const char16_t* text : {u"run one", u"run two"}) {
    TempDir childFolder;
    CTraceLog log;
    const std::string child = WriteChild(log, childFolder, {text});
    expected += ExpectedSection(child, ChildLines(ReadFileBytes(childFolder.File(child))));
    log.SetParentLogPath(platform::PathFromNative(parent));
    log.CloseAndMergeLog();
  }
  EXPECT_EQ(expected, ReadFileBytes(parent)) << "two sections, one mark, earlier content intact";
}

TEST(CloseAndMergeLog, DoesNothingWithoutAChildOrAParent) {
  TempDir folder;
  {
    CTraceLog neverConfigured;
    neverConfigured.SetParentLogPath(platform::PathFromNative(folder.File("parent.txt")));
    neverConfigured.CloseAndMergeLog();
  }
  EXPECT_TRUE(ListFiles(folder.path()).empty()) << "no file opened or created";

  CTraceLog noParent;
  const std::string child = WriteChild(noParent, folder, {u"kept"});
  noParent.SetParentLogPath(u"");
  noParent.CloseAndMergeLog();
  EXPECT_EQ((std::vector<std::string>{child}), ListFiles(folder.path()));
}

TEST(CloseAndMergeLog, ChildIsKeptWhenTheSectionCannotBeAppended) {
  TempDir folder;
  CTraceLog log;
  const std::string child = WriteChild(log, folder, {u"precious"});
  const std::string before = ReadFileBytes(folder.File(child));
  log.SetParentLogPath(platform::PathFromNative(folder.File("missing-folder/parent.txt")));
  log.CloseAndMergeLog();
  EXPECT_EQ(before, ReadFileBytes(folder.File(child))) << "nothing is lost";
  EXPECT_FALSE(platform::File::Exists(platform::PathFromNative(folder.File("missing-folder"))));

  // A parent that is no regular file is refused at once, and the child kept: a FIFO would hold
  // the merge for ever, and a device or a kernel setting is no log.
#ifdef _WIN32
  const std::string notFiles[] = {"NUL"};
#else
  ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
  std::vector<std::string> notFiles = {folder.File("fifo"), "/dev/null", "/proc/self/comm"};
  if (::geteuid() == 0) {  // another user's link to root's file is not followed
    std::ofstream(folder.File("root's")) << "kept";
    ASSERT_EQ(::symlink(folder.File("root's").c_str(), folder.File("link").c_str()), 0);
    ASSERT_EQ(::lchown(folder.File("link").c_str(), 4321, 4321), 0);
    notFiles.push_back(folder.File("link"));
  }
#endif
  for (const std::string& notFile : notFiles) {
    SCOPED_TRACE(notFile);
    log.SetParentLogPath(platform::PathFromNative(notFile));
    log.CloseAndMergeLog();
    EXPECT_EQ(before, ReadFileBytes(folder.File(child))) << "nothing is lost";
  }
#ifndef _WIN32
  if (::geteuid() == 0) {
    EXPECT_EQ("kept", ReadFileBytes(folder.File("root's")));
  }
#endif

  // A parent log that another writer holds (denying writers) for longer than the merge waits:
  // the child is kept and the parent gains nothing. One that is let go within the wait takes
  // the section.
  const std::string parent = folder.File("parent.txt");
  const WString parentPath = platform::PathFromNative(parent);
  log.SetParentLogPath(parentPath);
  constexpr std::uint32_t kHolderFlags =
      platform::File::modeCreate | platform::File::modeWrite | platform::File::shareDenyWrite;
  {
    platform::File holder;
    ASSERT_TRUE(holder.Open(parentPath, kHolderFlags));
    log.CloseAndMergeLog();
    EXPECT_EQ(before, ReadFileBytes(folder.File(child))) << "kept while the parent is held";
    EXPECT_EQ("", ReadFileBytes(parent));
  }
  {
    auto holder = std::make_unique<platform::File>();
    ASSERT_TRUE(holder->Open(parentPath, kHolderFlags));
    std::thread release([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      holder.reset();
    });
    log.CloseAndMergeLog();
    release.join();
    EXPECT_NE(std::string::npos, ReadFileBytes(parent).find(Utf16(u"precious\r\n")));
    EXPECT_FALSE(platform::File::Exists(platform::PathFromNative(folder.File(child))));
  }

  // Once the child is gone (merged), a repeated call appends nothing.
  const std::string merged = ReadFileBytes(parent);
  log.CloseAndMergeLog();
  EXPECT_EQ(merged, ReadFileBytes(parent));
}

TEST(CloseAndMergeLog, DestructionMerges) {
  TempDir folder;
  const std::string parent = folder.File("parent.txt");
  std::string child;
  {
    CTraceLog log;
    child = WriteChild(log, folder, {u"merged at unload"});
    log.SetParentLogPath(platform::PathFromNative(parent));
  }
  EXPECT_NE(std::string::npos, ReadFileBytes(parent).find(Utf16(u"merged at unload\r\n")));
  EXPECT_EQ((std::vector<std::string>{"parent.txt"}), ListFiles(folder.path()));
}

// Eight processes, each with a 2 000-line trace, merge into one parent at the same moment. The
// parent log is held denying other writers while a section is appended, so sections never
// overwrite or interleave each other: every section is whole and in one piece, and every
// child is either merged (and deleted) or, when the parent stays taken too long, kept whole.
// The test itself holds the parent until every child has begun its merge, so that each one
// meets a taken parent and waits its turn, however idle the machine.
constexpr int kMergingProcesses = 8;
constexpr int kMergedLines = 2000;

// A merging process: FOLDER PARENT SIGNALS K. It says it is ready by a file in SIGNALS and
// merges once the test puts "go" there, so that all merge at the same moment.
int MergingChild(const std::vector<std::string>& arguments) {
  const std::filesystem::path signals(arguments[2]);
  const int k = std::stoi(arguments[3]);
  CTraceLog log;
  log.Configure(platform::PathFromNative(arguments[0]), u"Tunewell", CTraceLog::Error);
  for (int n = 0; n < kMergedLines; ++n) log.WriteFormat(CTraceLog::Error, u"child %d line %d", k, n);
  log.SetParentLogPath(platform::PathFromNative(arguments[1]));
  std::ofstream(signals / ("ready" + std::to_string(k)));
  while (!std::filesystem::exists(signals / "go")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::ofstream(signals / ("merging" + std::to_string(k)));
  log.CloseAndMergeLog();
  return 0;
}

TEST(CloseAndMergeLog, EightProcessesMergingAtOnceLoseNothing) {
  testing_support::RunIfChild(MergingChild);
  constexpr int kProcesses = kMergingProcesses;
  constexpr int kLines = kMergedLines;
  TempDir folder, signals;
  const std::string parent = folder.File("parent.txt");
  {
    std::vector<std::unique_ptr<testing_support::ChildProcess>> children;
    for (int k = 0; k < kProcesses; ++k) {
      children.push_back(std::make_unique<testing_support::ChildProcess>(
          MergingChild,
          std::vector<std::string>{folder.path(), parent, signals.path(), std::to_string(k)}));
      ASSERT_TRUE(children.back()->Started());
    }
    const auto signalled = [&](std::size_t count) {
      while (ListFiles(signals.path()).size() < count) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    };
    signalled(kProcesses);  // every child ready
    auto holder = std::make_unique<platform::File>();
    ASSERT_TRUE(holder->Open(platform::PathFromNative(parent),
                             platform::File::modeCreate | platform::File::modeWrite |
                                 platform::File::shareDenyWrite));
    std::ofstream(signals.File("go"));
    signalled(2 * kProcesses + 1);  // ready, go, and every child merging
    // Well past a retry, well within the wait: each child has found the parent taken.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    holder.reset();
    for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
  }

  // The lines of one child, in order, as a section or a kept file must hold them.
  const std::regex line("^\\S+ [0-9A-F]+ ERR: child ([0-9]+) line ([0-9]+)$");
  const auto childOf = [&](const std::vector<std::u16string>& lines, std::size_t from) {
    int child = -1;
    for (int n = 0; n < kLines; ++n) {
      std::smatch m;
      const std::string text = from + n < lines.size() ? testing_support::Narrow(lines[from + n]) : "";
      if (!std::regex_match(text, m, line) || std::stoi(m[2]) != n) return -1;
      if (n == 0) child = std::stoi(m[1]);
      if (std::stoi(m[1]) != child) return -1;
    }
    return child;
  };

  std::set<int> seen;
  const std::string bytes = ReadFileBytes(parent);
  ASSERT_EQ("\xFF\xFE", bytes.substr(0, 2)) << "one mark, at the start";
  const auto parentLines = ChildLines(bytes);  // every line of the parent, in order
  std::size_t at = 0;
  int merged = 0;
  while (at < parentLines.size()) {
    ASSERT_EQ(u"", parentLines[at]) << "a section starts with an empty line, at line " << at;
    ASSERT_TRUE(parentLines[at + 1].rfind(u"Tunewell_", 0) == 0) << "then the child's name";
    const int child = childOf(parentLines, at + 2);
    ASSERT_GE(child, 0) << "the section at line " << at << " is whole and in one piece";
    EXPECT_TRUE(seen.insert(child).second) << "child " << child << " merged twice";
    EXPECT_FALSE(platform::File::Exists(
        platform::PathFromNative(folder.File(testing_support::Narrow(parentLines[at + 1])))))
        << "a merged child is deleted";
    ++merged;
    at += 2 + kLines;
  }
  for (const std::string& name : ListFiles(folder.path())) {
    if (name == "parent.txt") continue;
    const int child = childOf(ChildLines(ReadFileBytes(folder.File(name))), 0);
    EXPECT_GE(child, 0) << "a kept child is whole: " << name;
    EXPECT_TRUE(seen.insert(child).second) << "child " << child << " both merged and kept";
  }
  EXPECT_EQ(static_cast<std::size_t>(kProcesses), seen.size()) << "no child lost";
  EXPECT_GE(merged, 1);
  std::cout << "[          ] " << merged << " of " << kProcesses << " children merged\n";
}

}  // namespace
