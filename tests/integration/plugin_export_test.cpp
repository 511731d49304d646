// The built plug-in through its export, as a host application loads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

#include "support/fake_host.h"
#include "support/plugin_library.h"
#include "support/process.h"
#include "support/system_md5.h"
#include "support/temp_dir.h"
#include "support/wine.h"
#include "tunewell/plugin_interface.h"

namespace {

using testing_support::Narrow;
using testing_support::PluginLibrary;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

TEST(PluginExport, GetDllInterfaceIsTheOnlyExportedFunctionOfTheLinuxLibrary) {
#ifdef _WIN32
  GTEST_SKIP() << "a Linux library's dynamic symbols; WindowsDll.* reads the DLL's export table";
#else
  testing_support::Process nm;
  ASSERT_TRUE(nm.Start({"nm", "-D", "--defined-only", TUNEWELL_PLUGIN_PATH}));
  std::istringstream symbols(nm.Wait().out);
  std::vector<std::string> functions;
  for (std::string line; std::getline(symbols, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (type == "T" || type == "W" || type == "i" || type == "u") functions.push_back(name);
  }
  EXPECT_EQ(std::vector<std::string>{"GetDllInterface"}, functions);
#endif
}

TEST(PluginExport, InformationBlockKeyByKey) {
  const std::string bytes = ReadFileBytes(TUNEWELL_PLUGIN_PATH);
  const std::string marker = "###_PluginInfo_###";
  const std::size_t at = bytes.find(marker);
  ASSERT_NE(std::string::npos, at);
  const std::size_t end = bytes.find('\0', at);
  ASSERT_NE(std::string::npos, end) << "the block is NUL-terminated";
  std::string block = bytes.substr(at + marker.size(), end - at - marker.size());
  ASSERT_GE(block.size(), 3u);
  EXPECT_EQ("###", block.substr(block.size() - 3));
  block.resize(block.size() - 3);
  const std::pair<const char*, const char*> expected[] = {
      {"Name", "\"Tunewell\""},
      {"Type", "search"},
      {"Version", "2.1.2000.0"},
      {"VersionInt", "2.1"},
      {"Author", "\"Feldmark\""},
      {"Desc", "\"Search plugin for Tunewell\""},
  };
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream in(block);
  for (std::string pair; std::getline(in, pair, ';');) {
    const std::size_t eq = pair.find('=');
    ASSERT_NE(std::string::npos, eq) << pair;
    pairs.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
  }
  ASSERT_EQ(7u, pairs.size()) << block;
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(expected[i].first, pairs[i].first);
    EXPECT_EQ(expected[i].second, pairs[i].second);
  }
  EXPECT_EQ("InfoUrl", pairs[6].first);
  EXPECT_EQ('"', pairs[6].second.front());
  EXPECT_EQ('"', pairs[6].second.back());
}

TEST(PluginExport, IndependentObjectsAndTeardownAtUnload) {
  PluginLibrary library(TUNEWELL_PLUGIN_PATH);
  ASSERT_TRUE(library.ok()) << library.reason();
  CLyricsDllInterface* first = library.Create();
  CLyricsDllInterface* second = library.Create();
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_NE(first, second);

  const std::string checksum = testing_support::SystemMd5OfFile(TUNEWELL_PLUGIN_PATH);
  ASSERT_EQ(32u, checksum.size());
  for (CLyricsDllInterface* object : {first, second}) {
    WString id, name;
    EXPECT_EQ(1, object->GetProperty(u"SourceId", &id));
    EXPECT_EQ(checksum, Narrow(id));
    EXPECT_EQ(1, object->GetProperty(u"SourceName", &name));
    EXPECT_EQ(u"Tunewell", name);
  }

  testing_support::FakeHostCallback host;
  EXPECT_TRUE(first->SetHostCallback(&host));
  auto* firstSlots = static_cast<CLyricsPluginObject*>(first);
  auto* secondSlots = static_cast<CLyricsPluginObject*>(second);
  EXPECT_FALSE(firstSlots->IsCancelled());
  EXPECT_TRUE(secondSlots->IsCancelled()) << "the other object has no callback";

  delete first;  // the host deletes one; the other is left to the unload
  library.Close();
  // The library really went: on Linux the version script keeps unique symbols from pinning it.
  EXPECT_FALSE(PluginLibrary::IsLoaded(TUNEWELL_PLUGIN_PATH));
  // In the sanitizer build LeakSanitizer checks at exit that `second` was deleted, and
  // AddressSanitizer that nothing was deleted twice.
}

TEST(PluginExport, UnreadableModuleLeavesSourceIdEmpty) {
  TempDir dir;
  const std::string copy = PluginLibrary::CopyInto(dir.path(), "tunewell-copy");
  PluginLibrary library(copy);
  ASSERT_TRUE(library.ok()) << library.reason();
  std::unique_ptr<CLyricsDllInterface> logging(library.Create());
  const WString logFolder = dir.wpath() + u"/log";
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("log")));
  EXPECT_EQ(1, logging->SetProperty(u"LogFolder", &logFolder));

  // The module file is gone from its name: its checksum cannot be made. (Windows will not
  // delete a loaded module's file, but it renames it.)
  std::filesystem::rename(copy, copy + ".gone");
  std::unique_ptr<CLyricsDllInterface> blind(library.Create());
  ASSERT_NE(nullptr, blind);
  WString id = u"unset";
  EXPECT_EQ(1, blind->GetProperty(u"SourceId", &id));
  EXPECT_EQ(u"", id);
  std::int32_t supported = 0;
  EXPECT_EQ(1, blind->GetProperty(u"SupportedSearch", &supported)) << "the object stays usable";
  EXPECT_EQ(2, supported);

  std::string content;
  for (const auto& name : testing_support::ListFiles(dir.File("log"))) {
    if (name.rfind("Tunewell_", 0) == 0) content += ReadFileBytes(dir.File("log/" + name));
  }
  std::string expected = "ERR: Can not make MD5hash, CFileException: ";
  if (!testing_support::KnownWineDifference("Wine words error 2 \"File not found.\"")) {
    expected += "The system cannot find the file specified.\r\n";
  }
  std::string wide;
  for (char c : expected) wide += std::string{c, '\0'};
  EXPECT_NE(std::string::npos, content.find(wide));
  blind.reset();
  logging.reset();
}

}  // namespace
