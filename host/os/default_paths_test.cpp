#include "os/default_paths.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(DefaultPaths, CacheFolderFollowsTheXdgRules) {
  struct Case {
    const char* xdg;
    const char* home;
    std::optional<std::string> folder;
  };
  const Case cases[] = {
      {"/x/cache", "/home/u", "/x/cache/tunewell"},
      {"relative/cache", "/home/u", "/home/u/.cache/tunewell"},  // relative: ignored
      {"", "/home/u", "/home/u/.cache/tunewell"},
      {nullptr, "/home/u", "/home/u/.cache/tunewell"},
      {nullptr, nullptr, std::nullopt},
      {nullptr, "", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultCacheFolder(c.xdg, c.home), c.folder);
}

}  // namespace
}  // namespace host
