#include "tags/store/posix/located_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "support/temp_dir.h"
#include "tags/store/file_identity.h"

namespace host {
namespace {

// A music folder walked from `root`, whose names others may change after the walk.
TEST(SafeOpen, NamesChangedAfterTheWalkAreFoundOutNotFollowed) {
  struct Case {
    const char* what;
    bool asRootOnly;
    std::function<void(const testing_support::TempDir&)> change;
    const char* error;  // the start of the reason; "" when it opens
    const char* read;   // what it reads when it opens
  };
  const Case cases[] = {
      {"as walked", false, {}, "", "song"},
      {"a FIFO planted under the name (no wait)", false,
       [](auto& d) {
         unlink(d.File("root/album/a.mp3").c_str());
         mkfifo(d.File("root/album/a.mp3").c_str(), 0600);
       },
       "not a regular file (a FIFO)", ""},
      {"the walked folder swapped for a link", false,
       [](auto& d) {
         rename(d.File("root/album").c_str(), d.File("root/moved").c_str());
         symlink(d.File("elsewhere").c_str(), d.File("root/album").c_str());
       },
       kChangedDuringRun, ""},
      {"the named folder replaced", false,
       [](auto& d) {
         rename(d.File("root").c_str(), d.File("old-root").c_str());
         mkdir(d.File("root").c_str(), 0700);
       },
       kChangedDuringRun, ""},
      {"this user's own link", false,
       [](auto& d) {
         unlink(d.File("root/album/a.mp3").c_str());
         symlink(d.File("elsewhere/a.mp3").c_str(), d.File("root/album/a.mp3").c_str());
       },
       "", "elsewhere"},
      {"another user's link to a file not theirs", true,
       [](auto& d) {
         unlink(d.File("root/album/a.mp3").c_str());
         symlink(d.File("elsewhere/a.mp3").c_str(), d.File("root/album/a.mp3").c_str());
         lchown(d.File("root/album/a.mp3").c_str(), 4321, 4321);
       },
       "a link made by another user", ""},
  };
  for (const Case& c : cases) {
    if (c.asRootOnly && geteuid() != 0) {
      std::printf("needs root, skipped: %s\n", c.what);
      continue;
    }
    const testing_support::TempDir dir;
    mkdir(dir.File("root").c_str(), 0700);
    mkdir(dir.File("root/album").c_str(), 0700);
    mkdir(dir.File("elsewhere").c_str(), 0700);
    std::ofstream(dir.File("root/album/a.mp3")) << "song";
    std::ofstream(dir.File("elsewhere/a.mp3")) << "elsewhere";
    const FileLocation root = LocationOfFolder(dir.File("root"));
    const FileLocation where{root.path + "/album/a.mp3", root.trusted, root.trustedDevice,
                             root.trustedInode};
    if (c.change) c.change(dir);
    OpenedFile opened;
    std::string error;
    const bool opens = OpenLocatedFile(where, opened, error);
    EXPECT_EQ(opens, c.error[0] == '\0') << c.what << ": " << error;
    EXPECT_TRUE(error.starts_with(c.error)) << c.what << ": " << error;
    if (opens) {
      char bytes[32] = {};
      EXPECT_GT(read(opened.file.Get(), bytes, sizeof bytes - 1), 0);
      EXPECT_STREQ(bytes, c.read) << c.what;
    }
  }
}

}  // namespace
}  // namespace host
