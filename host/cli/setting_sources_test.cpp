#include "cli/setting_sources.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(SettingSources, CommandLineThenEnvironmentThenFile) {
  struct Case {
    std::vector<std::string> args;
    std::string file;
    const char* environment;
    std::string origins;  // joined by "; ", or the error
  };
  const std::string full = "proxy = 10.0.0.1:3128\n# a comment\n\ndelay=40\nretries = 2\n"
                           "max_difference = 20\n";
  const Case cases[] = {
      {{"tag", "m"}, full, nullptr,
       "proxy 10.0.0.1:3128 (cfg:1); max_difference 20 (cfg:6); delay 40 ms (cfg:4); "
       "retries 2 (cfg:5); accept none (default)"},
      {{"--proxy", "p:1", "--delay", "5", "tag", "m"}, full, "e:2",
       "proxy p:1 (command line); max_difference 20 (cfg:6); delay 5 ms (command line); "
       "retries 2 (cfg:5); accept none (default)"},
      {{"info"}, full, "e:2", "proxy e:2 (TUNEWELL_PROXY); max_difference 20 (cfg:6)"},
      {{"info"}, "", "", "proxy none (the system's setting) (default); max_difference 1 (default)"},
      {{"demo"}, full, "e:2", "max_difference 20 (cfg:6)"},  // demo names its own proxy
      {{"info"}, "delay = 40\n", nullptr,  // not the command's: unused
       "proxy none (the system's setting) (default); max_difference 1 (default)"},
      {{"info"}, "delay = fast\n", nullptr, "cfg:1: bad value for --delay"},  // checked all the same
      {{"tag", "m"}, "delay = 100   # a comment\r\nretries = 1\r\nretries = 3\r\n", nullptr,
       "proxy none (the system's setting) (default); max_difference 1 (default); "
       "delay 100 ms (cfg:1); retries 3 (cfg:3); accept none (default)"},  // CR LF; the last line of a key wins
      {{"tag", "m"}, "delay = -3\n", nullptr, "cfg:1: bad value for --delay"},
      {{"info"}, "colour = red\n", nullptr, "cfg:1: not a setting"},
      {{"info"}, "proxy\n", nullptr, "cfg:1: not a setting"},
      {{"info"}, "", "h:99999", "TUNEWELL_PROXY: bad value for --proxy"},
  };
  for (const Case& c : cases) {
    Options options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(c.args, options, error)) << error;
    std::vector<std::string> origins;
    if (!ApplySettingSources(options, c.file, "cfg", c.environment, origins, error)) {
      EXPECT_EQ(error.find(c.origins), 0u) << error;
      continue;
    }
    std::string joined;
    for (const std::string& origin : origins) joined += (joined.empty() ? "" : "; ") + origin;
    EXPECT_EQ(joined, c.origins) << c.args[0];
  }
}

}  // namespace
}  // namespace host
