#include "os/log_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/temp_dir.h"

namespace host {
namespace {

// The parent log the plug-in merges into at the end is the file checked at the start, whatever
// is put under its name meanwhile.
TEST(LogFiles, TheParentLogIsTheFileCheckedAtTheStart) {
  const testing_support::TempDir dir;
  const std::string parent = dir.File("parent.log");
  std::ofstream(dir.File("victim")) << "victim";
  ParentLogFile log;
  std::string error;
  ASSERT_TRUE(log.Open(parent, error)) << error;
  unlink(parent.c_str());
  symlink(dir.File("victim").c_str(), parent.c_str());
  const int merged = open(log.NameForPlugin().c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(merged, 0);
  EXPECT_EQ(write(merged, "section", 7), 7);
  close(merged);
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("victim")), "victim");

  mkfifo(dir.File("fifo").c_str(), 0600);
  for (const std::string& refused : {dir.File("fifo"), std::string("/proc/self/oom_score_adj"),
                                     std::string("/sys/fs/cgroup/tunewell.log")}) {
    ParentLogFile other;
    EXPECT_FALSE(other.Open(refused, error)) << refused;
  }
}

// The log folder's write check makes a file of a name nobody could plant beforehand, and
// leaves nothing.
TEST(LogFiles, TheWriteCheckUsesANameNobodyForesees) {
  const testing_support::TempDir dir;
  std::ofstream(dir.File("victim")) << "victim";
  // The one name the check used to take, std::rand() never seeded.
  symlink(dir.File("victim").c_str(), dir.File(".tunewell-write-test-1804289383").c_str());
  EXPECT_TRUE(FolderTakesWrites(dir.path()));
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("victim")), "victim");
  EXPECT_EQ(testing_support::ListFiles(dir.path()),
            (std::vector<std::string>{".tunewell-write-test-1804289383", "victim"}));
}

}  // namespace
}  // namespace host
