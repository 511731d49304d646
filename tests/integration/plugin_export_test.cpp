// The built plug-in through its export, as a host application loads it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "tunewell/plugin_interface.h"

namespace {

using testing_support::Narrow;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string Md5sum(const std::string& path) { return RunCommand("md5sum '" + path + "'").substr(0, 32); }

using Factory = CLyricsDllInterface* (*)();

class Library {
 public:
  explicit Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() { Close(); }
  bool ok() const { return handle_ != nullptr; }
  CLyricsDllInterface* Create() const {
    auto factory = reinterpret_cast<Factory>(dlsym(handle_, "GetDllInterface"));
    return factory ? factory() : nullptr;
  }
  void Close() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
  }

 private:
  void* handle_;
};

TEST(PluginExport, GetDllInterfaceIsTheOnlyExportedFunction) {
  std::istringstream symbols(RunCommand("nm -D --defined-only '" TUNEWELL_PLUGIN_PATH "'"));
  std::vector<std::string> functions;
  for (std::string line; std::getline(symbols, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (type == "T" || type == "W" || type == "i" || type == "u") functions.push_back(name);
  }
  EXPECT_EQ(std::vector<std::string>{"GetDllInterface"}, functions);
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
  Library library(TUNEWELL_PLUGIN_PATH);
  ASSERT_TRUE(library.ok()) << dlerror();
  CLyricsDllInterface* first = library.Create();
  CLyricsDllInterface* second = library.Create();
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_NE(first, second);

  const std::string checksum = Md5sum(TUNEWELL_PLUGIN_PATH);
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
  // The library really went: the version script keeps unique symbols from pinning it.
  EXPECT_EQ(nullptr, dlopen(TUNEWELL_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD));
  // In the sanitizer build LeakSanitizer checks at exit that `second` was deleted, and
  // AddressSanitizer that nothing was deleted twice.
}

TEST(PluginExport, UnreadableModuleLeavesSourceIdEmpty) {
  TempDir dir;
  const std::string copy = dir.File("libtunewell-copy.so");
  std::filesystem::copy_file(TUNEWELL_PLUGIN_PATH, copy);
  Library library(copy);
  ASSERT_TRUE(library.ok()) << dlerror();
  std::unique_ptr<CLyricsDllInterface> logging(library.Create());
  const WString logFolder = dir.wpath() + u"/log";
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("log")));
  EXPECT_EQ(1, logging->SetProperty(u"LogFolder", &logFolder));

  std::filesystem::remove(copy);  // the module file is gone: its checksum cannot be made
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
  const std::string expected = "ERR: Can not make MD5hash, CFileException: The system cannot find the file specified.\r\n";
  std::string wide;
  for (char c : expected) wide += std::string{c, '\0'};
  EXPECT_NE(std::string::npos, content.find(wide));
  blind.reset();
  logging.reset();
}

}  // namespace
