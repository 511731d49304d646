#include "tags/path_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/temp_dir.h"

namespace host {
namespace {

// A --from list as other tools and other systems write it; what no path can be is refused
// with its line, before any file is tried.
TEST(PathList, ListsAreReadAsPathsOrRefused) {
  struct Case {
    std::string bytes;
    std::vector<std::string> paths;
    const char* error;  // the start of the reason after "cannot read FILE: "
  };
  const Case cases[] = {
      {"a.mp3\r\nb c.flac\r\n\r\n", {"a.mp3", "b c.flac"}, ""},
      {"last.mp3", {"last.mp3"}, ""},
      {std::string("a.mp3\nbad\0name.mp3\n", 19), {}, "line 2 holds a NUL byte"},
      {std::string(5000, 'x') + ".mp3\n", {}, "line 1 is longer than any path"},
  };
  for (const Case& c : cases) {
    const testing_support::TempDir dir;
    std::ofstream(dir.File("list"), std::ios::binary) << c.bytes;
    std::vector<std::string> paths;
    std::string error;
    const bool read = ReadPathList(dir.File("list"), paths, error);
    EXPECT_EQ(read, c.error[0] == '\0') << error;
    if (read) {
      EXPECT_EQ(paths, c.paths);
    }
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  const testing_support::TempDir dir;
  mkfifo(dir.File("fifo").c_str(), 0600);
  std::vector<std::string> paths;
  std::string error;
  EXPECT_FALSE(ReadPathList(dir.File("fifo"), paths, error));  // at once, not waiting
  EXPECT_NE(error.find("a FIFO"), std::string::npos) << error;
}

}  // namespace
}  // namespace host
