#include <gtest/gtest.h>

#include <cstring>

#include "diag/trace_log.h"
#include "plugin/tunewell.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

namespace {

using testing_support::ListFiles;
using testing_support::Narrow;
using testing_support::TempDir;
using testing_support::TraceCapture;

const WString kSetPrefix = u"CCommonDllInterface::Set Property ";

TEST(SetProperty, ResultsAndMessages) {
  TraceCapture trace;
  TempDir dir;
  CTunewell plugin;
  const WString folder = dir.wpath() + u"/cache";
  const WString empty;
  const WString level = u"Debug";
  const struct {
    const char16_t* name;
    const WString* value;
    int result;
    const char16_t* tag;
    WString line;
  } cases[] = {
      {u"LocalCacheFolder", &empty, 0, u"WRN", kSetPrefix + u"LocalCacheFolder: Path not specified"},
      {u"LocalCacheFolder", &folder, 1, u"DBG", kSetPrefix + u"LocalCacheFolder: " + folder},
      {u"LocalCacheFolder", &folder, 0, u"INF", kSetPrefix + u"LocalCacheFolder: already ini.lized"},
      {u"logfolder", &folder, 0, u"WRN", kSetPrefix + u"logfolder:  - Can not be set."},
      {u"TraceLevel", nullptr, 0, u"WRN", kSetPrefix + u"TraceLevel:  - Can not be set."},
      {u"LocalCacheFolder", nullptr, 0, u"WRN", kSetPrefix + u"LocalCacheFolder:  - Can not be set."},
      {u"SourceName", &level, 0, u"WRN", kSetPrefix + u"SourceName:  - Can not be set."},
      {u"TraceLevel", &level, 1, u"DBG", kSetPrefix + u"TraceLevel: Debug"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result, plugin.SetProperty(c.name, c.value)) << Narrow(c.line);
    const auto lines = trace.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(Narrow(c.tag), Narrow(lines.back().tag));
    EXPECT_EQ(Narrow(c.line), Narrow(lines.back().text));
  }
  EXPECT_TRUE(ListFiles(dir.path()).empty()) << "creating the cache touches no disk";
}

TEST(GetProperty, ValuesAndRefusals) {
  TraceCapture trace;
  CTunewell plugin;
  std::int32_t number = 12345;
  EXPECT_EQ(0, plugin.GetProperty(u"Unknown", &number));
  EXPECT_EQ(12345, number) << "an unrecognised name leaves the result untouched";
  EXPECT_TRUE(trace.Contains(u"ERR", u"CCommonDllInterface::Property not found: Unknown"));
  EXPECT_EQ(0, plugin.GetProperty(u"SourceName", nullptr));
  EXPECT_TRUE(trace.HasLine(u"CCommonDllInterface::Property not found: SourceName"));
  EXPECT_EQ(0, plugin.GetProperty(u"sourcename", &number));

  // Integers are written as plain 32-bit values: the bytes beyond them stay as they were.
  std::int32_t pair[2] = {-1, -1};
  EXPECT_EQ(1, plugin.GetProperty(u"SupportedSearch", pair));
  EXPECT_EQ(2, pair[0]);
  EXPECT_EQ(-1, pair[1]);
}

TEST(CallMethod, CloseAndMergeLogAndUnknownNames) {
  TraceCapture trace;
  CTunewell plugin;
  EXPECT_EQ(0, plugin.CallMethod(u"closeAndMergeLog", nullptr));
  EXPECT_TRUE(trace.HasLine(u"CCommonDllInterface::CallMethod - Method not found: closeAndMergeLog"));
  EXPECT_EQ(1, plugin.CallMethod(u"CloseAndMergeLog", nullptr));
  EXPECT_FALSE(trace.log().IsConfigured());
}

// A fresh, unconfigured process-wide log for the order effects of the log settings.
class FreshGlobalLog {
 public:
  FreshGlobalLog() : previous_(CTraceLog::SetGlobal(&log_)) {}
  ~FreshGlobalLog() {
    CTraceLog::SetGlobal(previous_);
    log_.Close();
  }
  CTraceLog& log() { return log_; }

 private:
  CTraceLog log_;
  CTraceLog* previous_;
};

TEST(LogProperties, OrderDecidesLevelAndParent) {
  TempDir dir;
  const WString folder = dir.wpath();
  const WString debug = u"Debug";
  const WString parent = folder + u"/my-parent.txt";
  {
    FreshGlobalLog global;
    CTunewell plugin;
    EXPECT_EQ(1, plugin.CallMethod(u"CloseAndMergeLog", nullptr)) << "no log ever started";
    // Level and parent before the folder: Configure overwrites both.
    EXPECT_EQ(1, plugin.SetProperty(u"TraceLevel", &debug));
    EXPECT_EQ(1, plugin.SetProperty(u"ParentLogfilePath", &parent));
    EXPECT_EQ(1, plugin.SetProperty(u"LogFolder", &folder));
    EXPECT_EQ(CTraceLog::Error, global.log().Writer().Level());
    EXPECT_NE(parent, global.log().ParentLogPath());
    EXPECT_TRUE(ListFiles(dir.path()).empty()) << "LogFolder's own Debug line is dropped at Error";
  }
  {
    FreshGlobalLog global;
    CTunewell plugin;
    EXPECT_EQ(1, plugin.SetProperty(u"LogFolder", &folder));
    EXPECT_EQ(1, plugin.SetProperty(u"TraceLevel", &debug));
    EXPECT_EQ(1, plugin.SetProperty(u"ParentLogfilePath", &parent));
    EXPECT_EQ(CTraceLog::Debug, global.log().Writer().Level());
    EXPECT_EQ(parent, global.log().ParentLogPath());
    const WString empty;
    EXPECT_EQ(1, plugin.SetProperty(u"LogFolder", &empty)) << "accepted, changes nothing";
    EXPECT_TRUE(global.log().IsConfigured());
  }
}

TEST(LogProperties, LevelNamesThroughTheProperty) {
  FreshGlobalLog global;
  CTunewell plugin;
  const std::pair<const char16_t*, int> cases[] = {
      {u"Verbose", 40}, {u"Warning", 20}, {u"Info", 30}, {u"Detail", 40}, {u"INFO", 10}, {u"", 10},
  };
  for (const auto& [name, level] : cases) {
    const WString value = name;
    EXPECT_EQ(1, plugin.SetProperty(u"TraceLevel", &value));
    EXPECT_EQ(level, global.log().Writer().Level()) << Narrow(value);
  }
}

}  // namespace
