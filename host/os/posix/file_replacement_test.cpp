#include "os/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "os/posix/file_io.h"
#include "support/temp_dir.h"

namespace host {
namespace {

using testing_support::ReadFileBytes;

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info;
}

bool Replace(const std::string& path, const FileIdentity& asRead, std::string& error) {
  return ReplaceThroughCopy(
      path, asRead,
      [](const std::string& copy, std::string&) {
        EXPECT_EQ(ReadFileBytes(copy), "original");  // the copy starts as the file
        Write(copy, "new content");
        return true;
      },
      error);
}

// A pid that no process has: a child that has ended and been waited for.
long EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// Another program's change between the reading and the writing wins: the file is left as that
// program left it, and the run says so.
TEST(FileReplacement, AChangeMadeAfterTheReadingIsNeverOverwritten) {
  struct Case {
    const char* what;
    std::function<void(const testing_support::TempDir&, const std::string&)> change;
    const char* left;  // the file's content afterwards; nullptr: no file
  };
  const Case cases[] = {
      {"a tag saved, same size", [](auto&, auto& f) { Write(f, "ORIGINAL"); }, "ORIGINAL"},
      {"deleted", [](auto&, auto& f) { unlink(f.c_str()); }, nullptr},
      {"another file renamed onto it",
       [](auto& dir, auto& f) {
         Write(dir.File("other"), "another song");
         rename(dir.File("other").c_str(), f.c_str());
       },
       "another song"},
      {"its mode changed", [](auto&, auto& f) { chmod(f.c_str(), 0600); }, "original"},
  };
  for (const Case& c : cases) {
    testing_support::TempDir dir;
    const std::string file = dir.File("song.mp3");
    Write(file, "original");
    FileIdentity asRead;
    std::string error;
    ASSERT_TRUE(IdentifyFile(file, asRead, error)) << error;
    c.change(dir, file);
    EXPECT_FALSE(Replace(file, asRead, error)) << c.what;
    EXPECT_EQ(error, kChangedDuringRun) << c.what;
    EXPECT_EQ(access(file.c_str(), F_OK) == 0, c.left != nullptr) << c.what;
    if (c.left != nullptr) {
      EXPECT_EQ(ReadFileBytes(file), c.left) << c.what;
    }
    EXPECT_EQ(testing_support::ListFiles(dir.path()).size(), c.left ? 1u : 0u) << c.what;
  }
}

// The replaced file is still that file: its other names, attributes, mode bits and owner.
TEST(FileReplacement, TheFileKeepsWhatMadeItThatFile) {
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> give;  // false: not possible here, skipped
    std::function<void(const std::string&, const struct stat&)> check;
  };
  const Case cases[] = {
      {"a second hard link", [](auto& f) { return link(f.c_str(), (f + ".2").c_str()) == 0; },
       [](auto& f, auto& before) {
         EXPECT_EQ(ReadFileBytes(f + ".2"), "new content");
         EXPECT_EQ(StatOf(f).st_ino, before.st_ino);
       }},
      {"an extended attribute",
       [](auto& f) { return setxattr(f.c_str(), "user.rating", "5", 1, 0) == 0; },
       [](auto& f, auto&) {
         char value[8] = {};
         EXPECT_EQ(getxattr(f.c_str(), "user.rating", value, sizeof value), 1);
         EXPECT_STREQ(value, "5");
       }},
      {"set-user-ID and set-group-ID bits", [](auto& f) { return chmod(f.c_str(), 06750) == 0; },
       [](auto& f, auto&) { EXPECT_EQ(StatOf(f).st_mode & 07777, 06750u); }},
      {"mode 0640", [](auto& f) { return chmod(f.c_str(), 0640) == 0; },
       [](auto& f, auto&) { EXPECT_EQ(StatOf(f).st_mode & 07777, 0640u); }},
      {"another user's file (as root)",
       [](auto& f) { return geteuid() == 0 && chown(f.c_str(), 4321, 4321) == 0; },
       [](auto& f, auto&) {
         EXPECT_EQ(StatOf(f).st_uid, 4321u);
         EXPECT_EQ(StatOf(f).st_gid, 4321u);
       }},
  };
  for (const Case& c : cases) {
    testing_support::TempDir dir;
    const std::string file = dir.File("song.mp3");
    Write(file, "original");
    if (!c.give(file)) {
      std::printf("not possible here, skipped: %s\n", c.what);
      continue;
    }
    const struct stat before = StatOf(file);
    FileIdentity asRead;
    std::string error;
    ASSERT_TRUE(IdentifyFile(file, asRead, error)) << error;
    ASSERT_TRUE(Replace(file, asRead, error)) << c.what << ": " << error;
    EXPECT_EQ(ReadFileBytes(file), "new content") << c.what;
    c.check(file, before);
    for (const std::string& name : testing_support::ListFiles(dir.path())) {
      EXPECT_EQ(name.find(".tunewell-"), std::string::npos) << c.what << ": left " << name;
    }
  }
}

// Each flush to disk as it happens: what was flushed, and what the file held at that moment.
std::string watchedFile;
ino_t watchedInode = 0;
std::vector<std::string> flushes;

int RecordFlush(int fd) {
  struct stat info {};
  fstat(fd, &info);
  std::string what = S_ISDIR(info.st_mode) ? "folder" : "file";
  if (S_ISREG(info.st_mode) && info.st_ino != watchedInode) {
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), info.st_size);
    what = "other: " + bytes;
  }
  flushes.push_back(what + " | file: " + ReadFileBytes(watchedFile));
  return fsync(fd);
}

// What takes the file's place is on disk before it does (a crash in between could leave the
// file empty), and so is the backup of a write in place before the file is written.
TEST(FileReplacement, WhatTakesTheFilesPlaceIsOnDiskFirst) {
  struct Case {
    bool hardLink;  // written in place
    std::vector<std::string> flushes;
  };
  const Case cases[] = {
      {false, {"other: new content | file: original", "folder | file: new content"}},
      {true,
       {"other: original | file: original", "folder | file: original",
        "file | file: new content", "folder | file: new content"}},
  };
  for (const Case& c : cases) {
    testing_support::TempDir dir;
    watchedFile = dir.File("song.mp3");
    Write(watchedFile, "original");
    if (c.hardLink) {
      ASSERT_EQ(link(watchedFile.c_str(), dir.File("also.mp3").c_str()), 0);
    }
    watchedInode = StatOf(watchedFile).st_ino;
    FileIdentity asRead;
    std::string error;
    ASSERT_TRUE(IdentifyFile(watchedFile, asRead, error)) << error;
    flushes.clear();
    SetSyncForTesting(RecordFlush);
    EXPECT_TRUE(Replace(watchedFile, asRead, error)) << error;
    SetSyncForTesting(nullptr);
    EXPECT_EQ(flushes, c.flushes) << "hard link: " << c.hardLink;
  }
}

TEST(FileReplacement, AFailedEditLeavesTheFileAndNoCopy) {
  testing_support::TempDir dir;
  const std::string file = dir.File("song.mp3");
  Write(file, "original");
  FileIdentity asRead;
  std::string error;
  ASSERT_TRUE(IdentifyFile(file, asRead, error)) << error;
  EXPECT_FALSE(ReplaceThroughCopy(
      file, asRead,
      [](const std::string& copy, std::string& why) {
        Write(copy, "half");
        why = "TagLib could not write the tags";
        return false;
      },
      error));
  EXPECT_EQ(error, "TagLib could not write the tags");
  EXPECT_EQ(testing_support::ListFiles(dir.path()), std::vector<std::string>{"song.mp3"});
  EXPECT_EQ(ReadFileBytes(file), "original");
}

TEST(FileReplacement, AReadOnlyFileStaysUnwrittenWhoeverRunsTheTool) {
  testing_support::TempDir dir;
  const std::string file = dir.File("song.mp3");
  Write(file, "original");
  chmod(file.c_str(), 0444);
  EXPECT_NE(WhyNotReplaceable(file).find("read-only"), std::string::npos);
}

// What a killed run left: its temporary copies go, the backup of a file it was writing in
// place is put back; what a running process holds is not touched.
TEST(FileReplacement, TheNextRunClearsWhatAKilledRunLeft) {
  testing_support::TempDir dir;
  const std::string dead = std::to_string(EndedProcess()), alive = std::to_string(getpid());
  Write(dir.File("a.mp3"), "half written");
  Write(dir.File(".a.mp3.tunewell-backup-" + dead), "whole original");
  Write(dir.File("b.mp3"), "being written");
  Write(dir.File(".b.mp3.tunewell-backup-" + alive), "b's backup");
  Write(dir.File(".gone.mp3.tunewell-backup-" + dead), "of a file deleted since");
  Write(dir.File(".a.mp3.tunewell-" + dead + "-Ab12Cd"), "a dead run's copy");
  Write(dir.File(".a.mp3.tunewell-" + alive + "-Ab12Cd"), "a running copy");
  EXPECT_EQ(RecoverEarlierRuns(dir.path()), 3);
  EXPECT_EQ(ReadFileBytes(dir.File("a.mp3")), "whole original");
  EXPECT_EQ(ReadFileBytes(dir.File("b.mp3")), "being written");
  const std::vector<std::string> left = {".a.mp3.tunewell-" + alive + "-Ab12Cd",
                                         ".b.mp3.tunewell-backup-" + alive, "a.mp3", "b.mp3"};
  EXPECT_EQ(testing_support::ListFiles(dir.path()), left);
}

}  // namespace
}  // namespace host
