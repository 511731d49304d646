// The trace log and the statistics of the built plug-in, through its export: the log is merged
// into the parent log at unload or on request, and the download counters read back as integers.
#include <gtest/gtest.h>

#include <filesystem>

#include "servers/server_process.h"
#include "support/fake_host.h"
#include "support/plugin_library.h"
#include "support/temp_dir.h"
#include "tunewell/plugin_interface.h"

namespace {

using testing_support::ListFiles;
using testing_support::PluginLibrary;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

// A private copy of the library, so each test starts with fresh process-wide objects.
class PluginCopy : public PluginLibrary {
 public:
  explicit PluginCopy(const TempDir& dir)
      : PluginLibrary(CopyInto(dir.path(), "tunewell-" + std::to_string(++count_))) {}
  void Unload() { Close(); }

 private:
  static inline int count_ = 0;
};

struct LogSetup {
  TempDir dir;
  WString logFolder;
  WString parent;
  LogSetup() {
    std::filesystem::create_directory(dir.File("log"));
    logFolder = dir.wpath() + u"/log";
    parent = dir.wpath() + u"/parent.txt";
  }
  void Configure(CLyricsDllInterface& plugin) {
    const WString debug = u"Debug";
    ASSERT_EQ(1, plugin.SetProperty(u"LogFolder", &logFolder));
    ASSERT_EQ(1, plugin.SetProperty(u"TraceLevel", &debug));
    ASSERT_EQ(1, plugin.SetProperty(u"ParentLogfilePath", &parent));
    std::int32_t ignored;
    plugin.GetProperty(u"NoSuchProperty", &ignored);  // an Error line
  }
  void ExpectMerged() {
    const std::string content = ReadFileBytes(dir.File("parent.txt"));
    ASSERT_GE(content.size(), 2u);
    EXPECT_EQ("\xFF\xFE", content.substr(0, 2));
    EXPECT_EQ(Utf16("\r\nTunewell_"), content.substr(2, 22));
    EXPECT_NE(std::string::npos,
              content.find(Utf16("DBG: CCommonDllInterface::Set Property ParentLogfilePath: ")));
    EXPECT_NE(std::string::npos,
              content.find(Utf16("ERR: CCommonDllInterface::Property not found: NoSuchProperty\r\n")));
    EXPECT_TRUE(ListFiles(dir.File("log")).empty()) << "the child log is gone";
  }
};

TEST(PluginLog, MergedIntoTheParentAtUnload) {
  LogSetup setup;
  PluginCopy library(setup.dir);
  ASSERT_TRUE(library.ok());
  CLyricsDllInterface* plugin = library.Create();  // left to the unload on purpose
  setup.Configure(*plugin);
  EXPECT_FALSE(ListFiles(setup.dir.File("log")).empty());
  library.Unload();
  setup.ExpectMerged();
}

TEST(PluginLog, MergedOnRequest) {
  LogSetup setup;
  PluginCopy library(setup.dir);
  ASSERT_TRUE(library.ok());
  std::unique_ptr<CLyricsDllInterface> plugin(library.Create());
  setup.Configure(*plugin);
  EXPECT_EQ(1, plugin->CallMethod(u"CloseAndMergeLog", nullptr));
  setup.ExpectMerged();
  const std::string merged = ReadFileBytes(setup.dir.File("parent.txt"));
  std::int32_t ignored;
  plugin->GetProperty(u"AfterTheMerge", &ignored);  // dropped: the log is closed
  plugin.reset();
  library.Unload();
  EXPECT_EQ(merged, ReadFileBytes(setup.dir.File("parent.txt"))) << "nothing more at unload";
}

TEST(PluginStatistics, CountersAfterRealDownloads) {
  TempDir dir;
  test_servers::FaultServer server;
  PluginCopy library(dir);
  ASSERT_TRUE(library.ok());
  std::unique_ptr<CLyricsPluginObject> plugin(library.Create());
  testing_support::FakeHostCallback host;
  plugin->SetHostCallback(&host);

  const std::string urls[] = {
      server.Url("/body?size=5000"),
      server.Url("/status?code=404&reason=Gone%20Away"),
      server.Url("/chunked?pieces=3&size=300&delay_ms=150"),
  };
  int succeeded = 0;
  for (const auto& url : urls) {
    WString page;
    succeeded += plugin->DownloadPage(WString(url.begin(), url.end()), page);
  }
  EXPECT_EQ(2, succeeded);
  const std::pair<const char16_t*, std::int32_t> expected[] = {
      {u"StatisticDownloadCounter", 3},
      {u"StatisticSuccessfulDownloads", 2},
  };
  for (const auto& [name, value] : expected) {
    std::int32_t result = -1;
    EXPECT_EQ(1, plugin->GetProperty(name, &result));
    EXPECT_EQ(value, result) << testing_support::Narrow(name);
  }
  std::int32_t totalMs = -1;
  EXPECT_EQ(1, plugin->GetProperty(u"StatisticTotalDownloadTime", &totalMs));
  EXPECT_GE(totalMs, 300) << "the trickled body alone waits 2 x 150 ms";
  plugin.reset();
}

}  // namespace
