#include "os/posix/safe_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "os/file_identity.h"
#include "support/temp_dir.h"

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

namespace host {
namespace {

// What the user names for the run to read (a --from list, the config file) is read only as a
// regular file, without waiting, within bounds; what it names for output is never a FIFO, a
// device, or another user's link.
TEST(SafeOpen, UserNamedFilesAreReadAndWrittenWithinBounds) {
  const testing_support::TempDir dir;
  mkfifo(dir.File("fifo").c_str(), 0600);
  std::ofstream(dir.File("big")) << std::string(2000, 'x');
  std::ofstream(dir.File("small")) << "delay = 100\n";
  struct Case {
    std::string path;
    const char* read;   // the content, or the start of the reason
    const char* write;  // "" when it can be written, else the start of the reason
  };
  const Case cases[] = {
      {dir.File("small"), "delay = 100\n", ""},
      {dir.File("fifo"), "not a regular file (a FIFO)", "not a regular file (a FIFO)"},
      {"/dev/zero", "not a regular file (a device)", "not a regular file (a device)"},
      {dir.File("big"), "larger than 1000 bytes", ""},
  };
  for (const Case& c : cases) {
    std::string content, error;
    UniqueFd in(OpenRegularFileForReading(c.path, error));
    if (in.Valid() && ReadBounded(in.Get(), 1000, content, error)) error = content;
    EXPECT_TRUE(error.starts_with(c.read)) << c.path << ": " << error;
    error.clear();
    UniqueFd out(OpenUserOutputFile(c.path, error));
    EXPECT_TRUE(error.starts_with(c.write)) << c.path << ": " << error;
  }
  if (geteuid() != 0) return;
  // Root follows no link another user made to root's own file.
  std::ofstream(dir.File("root's")) << "kept";
  symlink(dir.File("root's").c_str(), dir.File("list").c_str());
  lchown(dir.File("list").c_str(), 4321, 4321);
  std::string error;
  EXPECT_FALSE(UniqueFd(OpenUserOutputFile(dir.File("list"), error)).Valid());
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("root's")), "kept");
}

}  // namespace
}  // namespace host
