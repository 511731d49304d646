#include "tags/tag_runner.h"

#include <gtest/gtest.h>

namespace host {
namespace {

// A script reads the same keys from a dry run as from a real one: only dry_run tells them apart.
TEST(TagRunner, JsonKeysDoNotDependOnTheMode) {
  TagResult result;
  result.total = result.tagged = 3;
  const std::string real = RenderTagJson(result);
  result.dryRun = true;
  std::string dry = RenderTagJson(result);
  const std::string flag = "\"dry_run\":true";
  ASSERT_NE(dry.find(flag), std::string::npos) << dry;
  dry.replace(dry.find(flag), flag.size(), "\"dry_run\":false");
  EXPECT_EQ(dry, real);
}

}  // namespace
}  // namespace host
