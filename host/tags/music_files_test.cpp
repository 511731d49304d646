#include "tags/music_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace host {
namespace {

// The walk: sorted, a subfolder's files where its name sorts; hidden entries and links to
// folders left out; anything with a music file's name taken whatever it is (the run says why it
// cannot be read); each file found with the folder named as its trusted part.
TEST(MusicFiles, AFolderIsWalkedInOrderAndNothingMusicalIsPassedOver) {
  const testing_support::TempDir dir;
  const std::string root = dir.File("lib");
  for (const char* folder : {"lib", "lib/b album", "lib/.hidden", "lib/elsewhere"}) {
    std::filesystem::create_directories(dir.File(folder));
  }
  for (const char* file : {"lib/c.mp3", "lib/a.FLAC", "lib/notes.txt", "lib/b album/1.ogg",
                           "lib/.secret.mp3", "lib/.hidden/x.mp3", "lib/elsewhere/y.mp3"}) {
    std::ofstream(dir.File(file)) << "x";
  }
  symlink(dir.File("lib/elsewhere").c_str(), dir.File("lib/d link to folder").c_str());
  symlink(dir.File("nowhere.mp3").c_str(), dir.File("lib/e dangling.mp3").c_str());
  mkfifo(dir.File("lib/f pipe.mp3").c_str(), 0600);
  MusicFiles found;
  std::vector<std::string> errors;
  ASSERT_TRUE(CollectMusicFiles({root, dir.File("lib/c.mp3")}, found, errors));
  std::vector<std::string> paths;
  for (const FileLocation& file : found.files) {
    paths.push_back(file.path);
    EXPECT_EQ(file.path.substr(0, file.trusted), root) << file.path;
  }
  const std::vector<std::string> expected = {
      root + "/a.FLAC", root + "/b album/1.ogg", root + "/c.mp3", root + "/e dangling.mp3",
      root + "/elsewhere/y.mp3", root + "/f pipe.mp3"};
  EXPECT_EQ(paths, expected);  // c.mp3 named again: taken once
  EXPECT_TRUE(found.unreadable.empty());
}

// What cannot be a PATH is said for every one, and nothing is collected then.
TEST(MusicFiles, EveryPathThatIsNoneIsNamed) {
  const testing_support::TempDir dir;
  std::ofstream(dir.File("notes.txt")) << "x";
  MusicFiles found;
  std::vector<std::string> errors;
  EXPECT_FALSE(CollectMusicFiles({dir.File("missing"), dir.File("notes.txt")}, found, errors));
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("no such file or folder"), std::string::npos);
  EXPECT_NE(errors[1].find("not a music file of a known kind"), std::string::npos);
  EXPECT_TRUE(found.files.empty());
}

}  // namespace
}  // namespace host
