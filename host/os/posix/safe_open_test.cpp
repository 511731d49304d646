#include "os/posix/safe_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/temp_dir.h"

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
