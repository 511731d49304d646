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

// --failed lists what a later run may still do: a song not found (the site may have it by
// then) or matched only doubtfully, every failure, a file cut short and those a stopped run
// never reached; not what is done.
TEST(TagRunner, TheRetryListHoldsEveryFileNotDone) {
  struct Row {
    TagStatus status;
    const char* path;
    bool listed;
  };
  const Row rows[] = {
      {TagStatus::Tagged, "/m/tagged.mp3", false},
      {TagStatus::NotFound, "/m/not found.mp3", true},
      {TagStatus::HadLyrics, "/m/had lyrics.mp3", false},
      {TagStatus::Doubtful, "/m/doubtful.mp3", true},
      {TagStatus::Failed, "/m/failed here.mp3", true},
      {TagStatus::WouldTag, "/m/would tag.mp3", false},
      {TagStatus::DownloadFailed, "/m/download failed.mp3", true},
      {TagStatus::Stopped, "/m/cut short.mp3", true},
  };
  TagResult result;
  MusicFiles music;
  std::vector<std::string> listed;
  for (const Row& row : rows) {
    TagFileResult one;
    one.path = row.path;
    one.status = row.status;
    result.files.push_back(one);
    music.files.push_back(FileLocation{row.path});
    if (row.listed) listed.push_back(row.path);
  }
  music.files.push_back(FileLocation{"/m/never reached.mp3"});
  listed.push_back("/m/never reached.mp3");
  EXPECT_EQ(PathsToRetry(result, music), listed);
}

}  // namespace
}  // namespace host
