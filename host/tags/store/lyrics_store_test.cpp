#include "tags/store/lyrics_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"

namespace host {
namespace {

// A file's work gets time by what it really holds on the disk, not by the size it claims: a
// sparse file of 20 GiB must not hold a run for half an hour.
TEST(LyricsStore, AFileGetsTimeByWhatItHoldsNotByWhatItClaims) {
  const testing_support::TempDir dir;
  struct Case {
    const char* what;
    off_t claimed;
    std::size_t written;
    int seconds;
  };
  const Case cases[] = {
      {"empty", 0, 0, 60},
      {"sparse, 20 GiB claimed", off_t{20} << 30, 0, 60},
      {"30 MiB written", 0, 30u << 20, 63},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(c.what);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    if (c.claimed > 0) {
      ASSERT_EQ(ftruncate(fd, c.claimed), 0);
    }
    const std::string bytes(c.written, 'x');
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    fsync(fd);
    EXPECT_EQ(TagWorkLimits(fd).seconds, c.seconds) << c.what;
    close(fd);
  }
}

}  // namespace
}  // namespace host
