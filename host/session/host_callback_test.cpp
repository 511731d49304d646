#include "session/host_callback.h"

#include <gtest/gtest.h>

#include "session/cancel_switch.h"
#include "session/host_ignore_list.h"

namespace host {
namespace {

TEST(HostCallback, AnswersTheThreeSettingsInTheirForms) {
  HostIgnoreList ignore;
  HostCallback callback({WString(u"127.0.0.1:8080"), &ignore, 25.5f}, nullptr);

  WString proxy = u"preset";
  EXPECT_EQ(callback.QueryValue(u"HttpProxy", &proxy), 1);
  EXPECT_EQ(proxy, u"127.0.0.1:8080");

  CHostIgnore* list = nullptr;
  EXPECT_EQ(callback.QueryValue(u"HostIgnore", &list), 1);
  EXPECT_EQ(list, &ignore);

  float difference = 1.0f;
  EXPECT_EQ(callback.QueryValue(u"MaxMatchDifference", &difference), 1);
  EXPECT_FLOAT_EQ(difference, 25.5f);
}

TEST(HostCallback, LeavesTheValueAloneForWhatItDoesNotSupply) {
  HostCallback callback({std::nullopt, nullptr, 1.0f}, nullptr);
  WString proxy = u"untouched";
  EXPECT_EQ(callback.QueryValue(u"HttpProxy", &proxy), 0);
  EXPECT_EQ(proxy, u"untouched");
  CHostIgnore* list = nullptr;
  EXPECT_EQ(callback.QueryValue(u"HostIgnore", &list), 0);
  EXPECT_EQ(list, nullptr);
  for (const WString name : {u"httpproxy", u"Unknown", u""}) {
    int value = 7;
    EXPECT_EQ(callback.QueryValue(name, &value), 0);
    EXPECT_EQ(value, 7);
  }
  EXPECT_EQ(callback.QueryValue(u"MaxMatchDifference", nullptr), 0);
}

TEST(HostCallback, CancelFollowsTheSwitch) {
  CancelSwitch::Reset();
  HostCallback callback({}, nullptr);
  EXPECT_FALSE(callback.QueryCancel());
  CancelSwitch::Install(1e-9);
  EXPECT_TRUE(callback.QueryCancel());
  CancelSwitch::Reset();
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
}

TEST(HostIgnoreList, KeepsOneEntryPerAddAndWithdrawsOneAtATime) {
  HostIgnoreList list;
  list.AddHost(u"lyrics.tunewell.test", 1);
  list.AddHost(u"lyrics.tunewell.test", 1);
  list.AddHost(u"other.example", 1);
  list.RemoveHost(u"lyrics.tunewell.test");
  EXPECT_TRUE(list.Contains("lyrics.tunewell.test"));
  list.RemoveHost(u"lyrics.tunewell.test");
  EXPECT_FALSE(list.Contains("lyrics.tunewell.test"));
  list.RemoveHost(u"never.added");  // changes nothing
  list.AddHost(nullptr, 1);         // an unknown name is kept as empty
  EXPECT_EQ(list.Hosts(), (std::vector<std::string>{"other.example", ""}));
}

TEST(HostIgnoreList, ShowsEachCallWhenVerbose) {
  // A temporary file rather than open_memstream, which Windows' runtime lacks.
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  {
    HostIgnoreList list(log);
    list.AddHost(u"Chlo\u00e9.test", 1);
    list.RemoveHost(u"Chlo\u00e9.test");
    list.RemoveHost(u"gone.test");
  }
  std::string text;
  std::rewind(log);
  for (int c; (c = std::fgetc(log)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(log);
  EXPECT_EQ(text,
            "tunewell: HostIgnore AddHost \"Chlo\xC3\xA9.test\" 1\n"
            "tunewell: HostIgnore RemoveHost \"Chlo\xC3\xA9.test\"\n"
            "tunewell: HostIgnore RemoveHost \"gone.test\" (not in the list)\n");
}

}  // namespace
}  // namespace host
