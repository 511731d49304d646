#include "tags/store/file_replacement.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "tags/store/posix/file_io.h"
#include "tags/store/posix/in_place_write.h"
#include "support/temp_dir.h"

namespace host {
namespace {

using testing_support::ListFiles;
using testing_support::ReadFileBytes;

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info;
}

// A music folder with one file, and the run's private journal elsewhere.
struct Library {
  testing_support::TempDir dir, state;
  RunJournal journal;
  std::string file = dir.File("song.mp3");

  explicit Library(const std::string& content = "original") {
    Write(file, content);
    std::string error;
    EXPECT_TRUE(journal.Open(state.File("journal"), state.path(), error)) << error;
  }
  FileIdentity Identity() const {
    FileIdentity identity;
    std::string error;
    EXPECT_TRUE(IdentifyFile(file, identity, error)) << error;
    return identity;
  }
  bool Replace(const FileIdentity& asRead, std::string& error,
               const std::function<void()>& meanwhile = {},
               const std::string& content = "new") const {
    return ReplaceThroughCopy(
        journal, LocationOfNamedFile(file), asRead,
        [&](int copy, std::string&) {
          EXPECT_EQ(ReadFileBytes("/proc/self/fd/" + std::to_string(copy)), ReadFileBytes(file));
          if (meanwhile) meanwhile();
          // Shorter than the original: a write that kept the old length would leave a tail.
          return ftruncate(copy, 0) == 0 && pwrite(copy, content.data(), content.size(), 0) ==
                                                 static_cast<ssize_t>(content.size());
        },
        error);
  }
  std::vector<std::string> JournalLeft() const { return ListFiles(state.File("journal")); }
};

// Another program's change between the reading and the writing wins, whether it came before
// the run opened the file or while the run was editing its copy: the file is left as that
// program left it, and the run says so.
TEST(FileReplacement, AChangeMadeAfterTheReadingIsNeverOverwritten) {
  struct Case {
    const char* what;
    std::function<void(const Library&)> change;
    const char* left;  // the file's content afterwards; nullptr: no file
  };
  const Case cases[] = {
      {"a tag saved, same size", [](auto& l) { Write(l.file, "ORIGINAL"); }, "ORIGINAL"},
      {"deleted", [](auto& l) { unlink(l.file.c_str()); }, nullptr},
      {"another file renamed onto it",
       [](auto& l) {
         Write(l.dir.File("other"), "another song");
         rename(l.dir.File("other").c_str(), l.file.c_str());
       },
       "another song"},
      {"its mode changed", [](auto& l) { chmod(l.file.c_str(), 0600); }, "original"},
  };
  for (const bool during : {false, true}) {
    for (const Case& c : cases) {
      const Library library;
      const FileIdentity asRead = library.Identity();
      if (!during) c.change(library);
      std::string error;
      EXPECT_FALSE(library.Replace(asRead, error, [&] {
        if (during) c.change(library);
      })) << c.what;
      EXPECT_EQ(error, kChangedDuringRun) << c.what << (during ? " (during)" : "");
      EXPECT_EQ(access(library.file.c_str(), F_OK) == 0, c.left != nullptr) << c.what;
      if (c.left != nullptr) {
        EXPECT_EQ(ReadFileBytes(library.file), c.left) << c.what;
      }
      EXPECT_EQ(ListFiles(library.dir.path()).size(), c.left ? 1u : 0u) << c.what;
      EXPECT_TRUE(library.JournalLeft().empty()) << c.what;
    }
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
         EXPECT_EQ(ReadFileBytes(f + ".2"), "new");
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
    const Library library;
    if (!c.give(library.file)) {
      std::printf("not possible here, skipped: %s\n", c.what);
      continue;
    }
    if (geteuid() == 0) chown(library.dir.path().c_str(), StatOf(library.file).st_uid, 0);
    const struct stat before = StatOf(library.file);
    std::string error;
    ASSERT_TRUE(library.Replace(library.Identity(), error)) << c.what << ": " << error;
    EXPECT_EQ(ReadFileBytes(library.file), "new") << c.what;
    c.check(library.file, before);
    for (const std::string& name : ListFiles(library.dir.path())) {
      EXPECT_EQ(name.find(".tunewell-"), std::string::npos) << c.what << ": left " << name;
    }
    EXPECT_TRUE(library.JournalLeft().empty()) << c.what;
  }
}

// Each flush to disk as it happens: what was flushed, and what the file held at that moment.
// The journal's own records are left out; a backup in it is shown.
std::string watchedFile, journalFolder;
ino_t watchedInode = 0;
std::vector<std::string> flushes;

int RecordFlush(int fd) {
  struct stat info {};
  fstat(fd, &info);
  char where[4096] = {};
  readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), where, sizeof where - 1);
  const std::string path = where;
  std::string what = S_ISDIR(info.st_mode) ? "folder" : "file";
  if (S_ISREG(info.st_mode) && info.st_ino != watchedInode) {
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), info.st_size);
    what = (path.find("/backup-") != std::string::npos ? "backup: " : "other: ") + bytes;
  }
  if (path.starts_with(journalFolder) && path.find("/backup-") == std::string::npos) {
    return fsync(fd);
  }
  // The file itself is read through the run's own descriptor: an open by its name would wait
  // for the write lease the run holds while it writes.
  std::string file(static_cast<std::size_t>(info.st_size), '\0');
  if (info.st_ino == watchedInode && S_ISREG(info.st_mode)) {
    EXPECT_EQ(pread(fd, file.data(), file.size(), 0), info.st_size);
  } else {
    file = ReadFileBytes(watchedFile);
  }
  flushes.push_back(what + " | file: " + file);
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
      {false, {"other: new | file: original", "folder | file: new"}},
      {true, {"backup: original | file: original", "file | file: new"}},
  };
  for (const Case& c : cases) {
    const Library library;
    watchedFile = library.file;
    journalFolder = library.state.File("journal");
    if (c.hardLink) {
      ASSERT_EQ(link(watchedFile.c_str(), library.dir.File("also.mp3").c_str()), 0);
    }
    watchedInode = StatOf(watchedFile).st_ino;
    const FileIdentity asRead = library.Identity();
    std::string error;
    flushes.clear();
    SetSyncForTesting(RecordFlush);
    EXPECT_TRUE(library.Replace(asRead, error)) << error;
    SetSyncForTesting(nullptr);
    EXPECT_EQ(flushes, c.flushes) << "hard link: " << c.hardLink;
  }
}

TEST(FileReplacement, AFailedEditLeavesTheFileAndNoCopy) {
  const Library library;
  std::string error;
  EXPECT_FALSE(ReplaceThroughCopy(
      library.journal, LocationOfNamedFile(library.file), library.Identity(),
      [](int copy, std::string& why) {
        EXPECT_EQ(write(copy, "half", 4), 4);
        why = "TagLib could not write the tags";
        return false;
      },
      error));
  EXPECT_EQ(error, "TagLib could not write the tags");
  EXPECT_EQ(ListFiles(library.dir.path()), std::vector<std::string>{"song.mp3"});
  EXPECT_EQ(ReadFileBytes(library.file), "original");
  EXPECT_TRUE(library.JournalLeft().empty());
}

// A sparse file that claims more than the disk has is refused before its copy fills the disk.
TEST(FileReplacement, NoCopyIsMadeThatCannotFitOnTheDisk) {
  const Library library;
  struct statvfs fs {};
  ASSERT_EQ(statvfs(library.dir.path().c_str(), &fs), 0);
  ASSERT_EQ(truncate(library.file.c_str(),
                     static_cast<off_t>(fs.f_bavail * fs.f_frsize + (1ull << 30))), 0);
  std::string error;
  EXPECT_FALSE(library.Replace(library.Identity(), error));
  EXPECT_EQ(error, "not enough free space for a copy beside the file");
  EXPECT_EQ(ListFiles(library.dir.path()), std::vector<std::string>{"song.mp3"});
}

// Root writes only what the file's owner could, and follows no link into a file its maker
// could not write.
TEST(FileReplacement, AFileIsWrittenOnlyWhereItsOwnerCouldWriteIt) {
  struct Case {
    const char* what;
    bool asRootOnly;
    std::function<void(const Library&)> make;
    const char* why;  // the start of the reason
  };
  const Case cases[] = {
      {"mode 0444", false, [](auto& l) { chmod(l.file.c_str(), 0444); }, "read-only file"},
      {"another user's file in a folder that user cannot write", true,
       [](auto& l) {
         chown(l.file.c_str(), 4321, 4321);
         chmod(l.dir.path().c_str(), 0755);
       },
       "folder not writable by the file's owner"},
      {"another user's link to root's file", true,
       [](auto& l) {
         Write(l.dir.File("secret"), "root's own");
         chmod(l.dir.File("secret").c_str(), 0600);
         unlink(l.file.c_str());
         symlink(l.dir.File("secret").c_str(), l.file.c_str());
         lchown(l.file.c_str(), 4321, 4321);
       },
       "a link made by another user"},
  };
  for (const Case& c : cases) {
    if (c.asRootOnly && geteuid() != 0) {
      std::printf("needs root, skipped: %s\n", c.what);
      continue;
    }
    const Library library;
    c.make(library);
    EXPECT_TRUE(WhyNotReplaceable(LocationOfNamedFile(library.file)).starts_with(c.why))
        << c.what << ": " << WhyNotReplaceable(LocationOfNamedFile(library.file));
  }
}

// Another program writes the file while it is being written in place: its bytes stay, the
// run's are taken back, and the run says so. A write that fails half-way leaves the file as it
// was. The run is given a file longer than its new content, so that a forgotten cut would
// show as an old tail.
int otherWriter = -1;
off_t failAt = -1;
std::string openedMeanwhile;  // a file another program tries to open during the write
int openError = 0;

bool DuringTheWrite(int, off_t at) {
  if (at == 2 * 65536 && otherWriter >= 0) {
    EXPECT_EQ(pwrite(otherWriter, "X", 1, 0), 1);
  }
  if (at == 65536 && !openedMeanwhile.empty()) {
    const int fd = open(openedMeanwhile.c_str(), O_WRONLY | O_NONBLOCK);
    openError = fd < 0 ? errno : 0;
    if (fd >= 0) close(fd);
  }
  return at != failAt;
}

TEST(FileReplacement, AWriteInPlaceLosesNothingOfAnotherProgram) {
  const std::string original(300000, 'o');
  const std::string shorter(200000, 'n');
  std::string withTheirs = original;
  withTheirs[0] = 'X';
  struct Case {
    const char* what;
    bool otherWrites;
    off_t fail;
    bool opensMeanwhile;  // and is kept waiting (a write lease)
    bool done;
    const std::string* left;
    const char* error;
  };
  const Case cases[] = {
      {"nobody else", false, -1, false, true, &shorter, ""},
      {"another program writes meanwhile", true, -1, false, false, &withTheirs,
       kChangedDuringRun},
      {"another program opens it meanwhile", false, -1, true, true, &shorter, ""},
      {"the disk fails half-way", false, 65536, false, false, &original, "cannot write the file"},
  };
  for (const Case& c : cases) {
    const Library library(original);
    ASSERT_EQ(link(library.file.c_str(), library.dir.File("also.mp3").c_str()), 0);
    const FileIdentity asRead = library.Identity();
    // Opened before the run, as an editor keeps a file open: no lease can keep it out.
    otherWriter = c.otherWrites ? open(library.file.c_str(), O_WRONLY) : -1;
    failAt = c.fail;
    openedMeanwhile = c.opensMeanwhile ? library.file : "";
    openError = 0;
    SetWriteStepForTesting(DuringTheWrite);
    std::string error;
    EXPECT_EQ(library.Replace(asRead, error, {}, shorter), c.done) << c.what;
    SetWriteStepForTesting(nullptr);
    if (otherWriter >= 0) close(otherWriter);
    EXPECT_TRUE(error.starts_with(c.error)) << c.what << ": " << error;
    if (c.opensMeanwhile) {
      EXPECT_EQ(openError, EWOULDBLOCK) << c.what;
    }
    EXPECT_EQ(ReadFileBytes(library.file) == *c.left, true) << c.what;
    EXPECT_EQ(ListFiles(library.dir.path()), (std::vector<std::string>{"also.mp3", "song.mp3"}))
        << c.what;
    EXPECT_TRUE(library.JournalLeft().empty()) << c.what;
  }
}

// A run killed at a step leaves its journal entry; the next run puts back or clears what it
// left, and only that; a file someone changed since is left as it is, and said.
TEST(FileReplacement, TheNextRunSettlesWhatAKilledRunLeftAndNothingElse) {
  const std::string original(200000, 'o');
  struct Case {
    const char* what;
    bool hardLink;
    off_t killAt;  // in a write in place; -1: during the edit
    std::function<void(const Library&)> after;
    std::string left;
    std::size_t notes;
    bool journalKeeps;  // the backup, for the user to decide
  };
  const Case cases[] = {
      {"killed while editing its copy", false, -1, {}, original, 0, false},
      {"killed half-way through a write in place", true, 65536, {}, original, 1, false},
      {"killed in a write in place, the file changed since", true, 65536,
       [](const Library& l) { Write(l.file, "edited since"); }, "edited since", 1, true},
  };
  for (const Case& c : cases) {
    const Library library(original);
    if (c.hardLink) {
      ASSERT_EQ(link(library.file.c_str(), library.dir.File("also").c_str()), 0);
    }
    const FileIdentity asRead = library.Identity();
    // Old-style leftovers and a FIFO planted beside the file: never the journal's business.
    Write(library.dir.File(".song.mp3.tunewell-backup-1"), "planted");
    mkfifo(library.dir.File(".song.mp3.tunewell-2-Ab12Cd").c_str(), 0600);
    const pid_t child = fork();
    if (child == 0) {
      failAt = c.killAt;
      SetWriteStepForTesting([](int, off_t at) {
        if (at == failAt) raise(SIGKILL);
        return true;
      });
      std::string error;
      library.Replace(asRead, error, [&] {
        if (c.killAt < 0) raise(SIGKILL);
      }, std::string(250000, 'n'));
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << c.what;
    if (c.after) c.after(library);
    std::vector<std::string> notes;
    RecoverInterruptedChanges(library.journal, notes);
    EXPECT_EQ(ReadFileBytes(library.file) == c.left, true) << c.what;
    EXPECT_EQ(notes.size(), c.notes) << c.what;
    EXPECT_EQ(ReadFileBytes(library.dir.File(".song.mp3.tunewell-backup-1")), "planted");
    std::size_t expected = c.hardLink ? 3 : 2;  // the file, the planted one, the link
    EXPECT_EQ(ListFiles(library.dir.path()).size(), expected) << c.what;
    EXPECT_EQ(library.JournalLeft().empty(), !c.journalKeeps) << c.what;
  }
}

// A run killed after making its copy, or a backup, but before recording what it made leaves
// the name it recorded first: what stands under that name is still removed.
TEST(FileReplacement, WhatWasMadeBeforeItsRecordIsStillCleared) {
  const Library library;
  const FileIdentity id = library.Identity();
  JournalEntry entry;
  std::string error;
  ASSERT_TRUE(entry.Begin(library.journal,
                          {"change", library.dir.path(),
                           std::to_string(StatOf(library.dir.path()).st_dev),
                           std::to_string(StatOf(library.dir.path()).st_ino), "song.mp3",
                           std::to_string(id.device), std::to_string(id.inode),
                           std::to_string(id.size), std::to_string(id.modifiedNs),
                           std::to_string(id.changedNs)},
                          error))
      << error;
  ASSERT_TRUE(entry.Add({"copy", ".song.mp3.tunewell-Qx1"}, error));
  ASSERT_TRUE(entry.Add({"backup", "backup-Qx2"}, error));
  Write(library.dir.File(".song.mp3.tunewell-Qx1"), "half a copy");
  Write(library.state.File("journal/backup-Qx2"), "half a backup");
  entry.Keep();  // as a killed run leaves it
  std::vector<std::string> notes;
  EXPECT_EQ(RecoverInterruptedChanges(library.journal, notes), 1);
  EXPECT_EQ(ListFiles(library.dir.path()), std::vector<std::string>{"song.mp3"});
  EXPECT_TRUE(library.JournalLeft().empty());
  EXPECT_EQ(ReadFileBytes(library.file), "original");
}

// What a running run holds is not touched, whatever process number it has.
TEST(FileReplacement, AnEntryOfARunStillRunningIsLeftAlone) {
  const Library library;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    std::string error;
    library.Replace(library.Identity(), error, [&] {
      write(ready[1], "x", 1);
      pause();
    });
    _exit(0);
  }
  char x = 0;
  ASSERT_EQ(read(ready[0], &x, 1), 1);
  std::vector<std::string> notes;
  EXPECT_EQ(RecoverInterruptedChanges(library.journal, notes), 0);
  EXPECT_EQ(ListFiles(library.dir.path()).size(), 2u);  // the file and the running copy
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(RecoverInterruptedChanges(library.journal, notes), 1);
  EXPECT_EQ(ListFiles(library.dir.path()), std::vector<std::string>{"song.mp3"});
  close(ready[0]);
  close(ready[1]);
}

// The sidecar text file replaces only what tunewell wrote and nobody changed since.
TEST(FileReplacement, ASidecarNeverReplacesAFileItDidNotWrite) {
  struct Case {
    const char* what;
    std::function<void(const Library&)> before;
    bool written;
    const char* left;
  };
  const std::string sidecar = "song.txt";
  const Case cases[] = {
      {"none there", {}, true, "lyrics\n"},
      {"the user's own notes", [&](auto& l) { Write(l.dir.File(sidecar), "my notes"); }, false,
       "my notes"},
      {"one tunewell wrote",
       [&](auto& l) {
         std::string error;
         EXPECT_TRUE(WriteSidecar(l.journal, LocationOfNamedFile(l.file), sidecar, "old\n",
                                  error));
       },
       true, "lyrics\n"},
      {"one tunewell wrote, edited by the user since",
       [&](auto& l) {
         std::string error;
         WriteSidecar(l.journal, LocationOfNamedFile(l.file), sidecar, "old\n", error);
         Write(l.dir.File(sidecar), "old\nand my note\n");
       },
       false, "old\nand my note\n"},
      {"a link to another file",
       [&](auto& l) {
         Write(l.dir.File("elsewhere"), "kept");
         symlink(l.dir.File("elsewhere").c_str(), l.dir.File(sidecar).c_str());
       },
       false, "kept"},
  };
  for (const Case& c : cases) {
    const Library library;
    if (c.before) c.before(library);
    std::string error;
    EXPECT_EQ(WriteSidecar(library.journal, LocationOfNamedFile(library.file), sidecar,
                           "lyrics\n", error),
              c.written)
        << c.what << ": " << error;
    EXPECT_EQ(ReadFileBytes(library.dir.File(sidecar)), c.left) << c.what;
    for (const std::string& name : ListFiles(library.dir.path())) {
      EXPECT_EQ(name.find(".tunewell-"), std::string::npos) << c.what << ": left " << name;
    }
  }
}

}  // namespace
}  // namespace host
