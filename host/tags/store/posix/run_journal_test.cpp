#include "tags/store/posix/run_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "support/temp_dir.h"

namespace host {
namespace {

// Records come back as written, whatever bytes their fields hold; a record cut short by a
// crash, and anything after it, is not taken.
TEST(RunJournal, RecordsComeBackWholeOrNotAtAll) {
  const std::vector<JournalRecord> records = {
      {"change", "/music/a\nb", "1:2", ""}, {"copy", ".x.tunewell-ABC"}, {"writing"}};
  std::string bytes;
  for (const JournalRecord& record : records) bytes += EncodeRecord(record);
  EXPECT_EQ(DecodeRecords(bytes), records);
  for (std::size_t cut = 1; cut < EncodeRecord(records.back()).size(); ++cut) {
    const std::string torn = bytes.substr(0, bytes.size() - cut);
    EXPECT_EQ(DecodeRecords(torn).size(), 2u) << "cut " << cut;
  }
  EXPECT_TRUE(DecodeRecords("99:short\n").empty());
  EXPECT_TRUE(DecodeRecords("5:2:abc\n").empty());  // a field longer than its record
}

// The journal lives only in a folder nobody else can write into.
TEST(RunJournal, OnlyAPrivateFolderKeepsIt) {
  struct Case {
    const char* what;
    bool asRootOnly;
    std::function<void(const testing_support::TempDir&)> make;
    bool opens;
    mode_t mode;  // afterwards, when it opens
  };
  const Case cases[] = {
      {"made where missing", false, {}, true, 0700},
      {"open to others: made private", false,
       [](auto& d) { mkdir(d.File("journal").c_str(), 0777); chmod(d.File("journal").c_str(), 0777); },
       true, 0700},
      {"a link to another folder", false,
       [](auto& d) {
         mkdir(d.File("elsewhere").c_str(), 0700);
         symlink(d.File("elsewhere").c_str(), d.File("journal").c_str());
       },
       false, 0},
      {"another user's folder", true,
       [](auto& d) {
         mkdir(d.File("journal").c_str(), 0700);
         chown(d.File("journal").c_str(), 4321, 4321);
       },
       false, 0},
  };
  for (const Case& c : cases) {
    if (c.asRootOnly && geteuid() != 0) {
      std::printf("needs root, skipped: %s\n", c.what);
      continue;
    }
    const testing_support::TempDir dir;
    if (c.make) c.make(dir);
    RunJournal journal;
    std::string error;
    EXPECT_EQ(journal.Open(dir.File("journal"), dir.path(), error), c.opens) << c.what;
    struct stat info {};
    if (c.opens && stat(dir.File("journal").c_str(), &info) == 0) {
      EXPECT_EQ(info.st_mode & 07777, c.mode) << c.what;
    }
  }
  // A home that does not exist is never made.
  RunJournal journal;
  std::string error;
  EXPECT_FALSE(journal.Open("/nonexistent-home/.local/state/tunewell/journal",
                            "/nonexistent-home", error));
  EXPECT_NE(access("/nonexistent-home", F_OK), 0);
}

}  // namespace
}  // namespace host
