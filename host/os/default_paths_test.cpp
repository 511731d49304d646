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

// The config file and the state folder (the tag journal) follow the same rules: a relative
// XDG variable is ignored; without a home there is none, and the home itself is the anchor
// that must exist.
TEST(DefaultPaths, ConfigFileAndStateFolderFollowTheXdgRulesToo) {
  struct Case {
    const char* xdg;
    const char* home;
    std::optional<std::string> config, state;
    std::string anchor;
  };
  const Case cases[] = {
      {"/x", "/home/u", "/x/tunewell/config", "/x/tunewell", "/x"},
      {"relative", "/home/u", "/home/u/.config/tunewell/config",
       "/home/u/.local/state/tunewell", "/home/u"},
      {nullptr, "", std::nullopt, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DefaultConfigFile(c.xdg, c.home), c.config);
    std::string anchor;
    EXPECT_EQ(DefaultStateFolder(c.xdg, c.home, anchor), c.state);
    EXPECT_EQ(anchor, c.anchor);
  }
}

}  // namespace
}  // namespace host
