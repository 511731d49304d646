#include "session/plugin_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace host {
namespace {

// A file with the given bytes, removed at the end of the test.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) {
    char name[] = "/tmp/tunewell-host-test-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string kBlock =
    "###_PluginInfo_###Name=\"Tunewell\";Type=search;Version=2.1.2000.0;VersionInt=2.1;"
    "Author=\"Feldmark\";Desc=\"Search plugin for Tunewell\";InfoUrl=\"https://x.example/p\";###";

TEST(PluginLoader, FindsTheBlockAmongOtherBytes) {
  const ScratchFile file(std::string("\x7f"
                                     "ELF\0\0junk",
                                     9) +
                         kBlock + std::string("\0tail", 5));
  PluginInfo info;
  std::string error;
  ASSERT_TRUE(ReadPluginInfo(file.path(), info, error)) << error;
  const PluginInfo expected = {{"Name", "Tunewell"},
                               {"Type", "search"},
                               {"Version", "2.1.2000.0"},
                               {"VersionInt", "2.1"},
                               {"Author", "Feldmark"},
                               {"Desc", "Search plugin for Tunewell"},
                               {"InfoUrl", "https://x.example/p"}};
  EXPECT_EQ(info, expected);
  EXPECT_EQ(InfoValue(info, "Type"), "search");
  EXPECT_EQ(InfoValue(info, "Missing"), "");
}

TEST(PluginLoader, SkipsABrokenCopyOfTheMarker) {
  // A stray marker (as in debug data) before the real block must not hide it.
  const ScratchFile file("###_PluginInfo_###garbage" + std::string(1, '\0') + kBlock +
                         std::string(1, '\0'));
  PluginInfo info;
  std::string error;
  ASSERT_TRUE(ReadPluginInfo(file.path(), info, error)) << error;
  EXPECT_EQ(InfoValue(info, "Name"), "Tunewell");
}

TEST(PluginLoader, RefusesFilesWithoutAWellFormedBlock) {
  const std::string cases[] = {
      "",
      "just some bytes",
      "###_PluginInfo_###",                     // nothing after the marker
      "###_PluginInfo_###Name=\"Tunewell\";",   // no closing marker
      "###_PluginInfo_###Name=\"Tunewell;###",  // unclosed quote
      "###_PluginInfo_###Name=\"T\"x;###",      // text after a quoted value
      "###_PluginInfo_###=search;###",          // empty key
      "###_PluginInfo_######",                  // no pairs at all
  };
  for (const std::string& bytes : cases) {
    const ScratchFile file(bytes + std::string(1, '\0'));
    PluginInfo info;
    std::string error;
    EXPECT_FALSE(ReadPluginInfo(file.path(), info, error)) << bytes;
    EXPECT_NE(error.find("not a Tunewell plug-in"), std::string::npos) << error;
  }
}

TEST(PluginLoader, LoadRefusesAPluginOfAnotherType) {
  std::string block = kBlock;
  block.replace(block.find("Type=search"), 11, "Type=tagger");
  const ScratchFile file(block + std::string(1, '\0'));
  PluginLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load(file.path(), error));
  EXPECT_NE(error.find("not a search plug-in"), std::string::npos) << error;
  EXPECT_EQ(library.CreateObject(), nullptr);
}

TEST(PluginLoader, LoadReportsAFileThatIsNoLibrary) {
  // The block is right, but the file cannot be loaded: dlopen's reason reaches the user.
  const ScratchFile file(kBlock + std::string(1, '\0'));
  PluginLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load(file.path(), error));
  EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
}

TEST(PluginLoader, UnreadableFileIsReportedWithTheSystemsReason) {
  const ScratchFile unreadable("x");
  chmod(unreadable.path().c_str(), 0);
  const bool permissionsHold = access(unreadable.path().c_str(), R_OK) != 0;  // not for root
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {"/nonexistent/libtunewell.so", "No such file or directory"},
      {"/tmp", "Is a directory"},
      {permissionsHold ? unreadable.path() : "", "Permission denied"},
  };
  for (const auto& c : cases) {
    if (c.path.empty()) continue;  // root reads a file without read permission
    PluginLibrary library;
    std::string error;
    EXPECT_FALSE(library.Load(c.path, error));
    EXPECT_EQ("cannot read the plug-in file " + c.path + ": " + c.reason, error);
  }
}

}  // namespace
}  // namespace host
