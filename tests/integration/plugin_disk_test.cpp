// The built plug-in when the disk says no: the cache folder or the log folder on a small file
// system that fills up, or that turns read-only. The searches still answer from the site, the
// failed cache writes are logged (when the log has room), no cache file is torn or emptied,
// the trace keeps whole lines only, and once there is room again the next writes succeed.
// The file systems are 1 MiB tmpfs mounts the test makes, so it needs root (as CI runs).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "servers/server_process.h"
#include "support/corpus.h"
#include "support/fake_host.h"
#include "support/plugin_library.h"
#include "support/temp_dir.h"
#include "tunewell/plugin_interface.h"

namespace {

using testing_support::FakeHostCallback;
using testing_support::Narrow;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::VectorSongList;
using testing_support::Widen;

// A 1 MiB tmpfs on a folder, gone with the object.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& folder) : folder_(folder) {
    std::filesystem::create_directory(folder_);
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=1m") == 0;
    reason_ = mounted_ ? "" : std::string("cannot mount a tmpfs: ") + std::strerror(errno);
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string& reason() const { return reason_; }

  // Fills every byte left; false if the disk never said it was full.
  bool Fill() {
    std::ofstream filler(folder_ + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    for (int i = 0; i < 1024 && filler.write(block.data(), block.size()); ++i) filler.flush();
    return !filler;
  }
  void FreeSpace() { std::filesystem::remove(folder_ + "/filler"); }
  bool SetReadOnly(bool readOnly) {
    return ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | (readOnly ? MS_RDONLY : 0),
                   "size=1m") == 0;
  }

 private:
  std::string folder_;
  bool mounted_ = false;
  std::string reason_;
};

// Every regular file under a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path());
  }
  return files;
}

// The lines of the one trace file in the folder; a torn last line fails the test.
std::vector<std::string> TraceLines(const std::string& folder) {
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("Tunewell_", 0) != 0) continue;
    const std::string bytes = ReadFileBytes(entry.path());
    EXPECT_EQ(0u, bytes.size() % 2);
    WString text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    const std::string all = Narrow(text);
    static const std::regex whole(R"(^\d\d:\d\d:\d\d\.\d{3} [0-9A-F]+ (ERR|WRN|INF|DBG): .*$)");
    std::size_t start = 0;
    for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(all.substr(start, end - start));
      EXPECT_TRUE(std::regex_match(lines.back(), whole)) << lines.back();
    }
    EXPECT_EQ(all.size(), start) << "the trace ends with a whole line";
  }
  return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(PluginDisk, FullOrReadOnlyFoldersCostNoResultAndNoFile) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting the small file systems needs root";
  test_servers::ChildProcess site({"python3", TUNEWELL_SOURCE_DIR "/site/server.py", "--port", "0",
                                   "--host-name", TUNEWELL_SITE_HOST_NAME});
  const std::string port = site.ReadLine();
  ASSERT_EQ(0u, port.rfind("PORT ", 0)) << port;
  const WString proxy = u"127.0.0.1:" + Widen(port.substr(5, port.find_first_of("\r\n") - 5));

  std::vector<const testing_support::CorpusArtist*> artists;
  for (const auto& artist : testing_support::LoadCorpus().artists) {
    if (artist.leadingCharOk && artist.name.find_first_of("[]&") == std::string::npos) {
      artists.push_back(&artist);
    }
  }
  ASSERT_GE(artists.size(), 4u);

  const struct {
    const char* fault;
    bool cacheOnSmall, logOnSmall, readOnly;
  } cases[] = {
      {"cache folder full", true, false, false},
      {"log folder full", false, true, false},
      {"cache folder read-only", true, false, true},
      {"log folder read-only", false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    TempDir dir;
    SmallFileSystem small(dir.File("small"));
    if (!small.mounted()) GTEST_SKIP() << small.reason();
    const std::string cacheDir = dir.File(c.cacheOnSmall ? "small/cache" : "cache");
    const std::string logDir = dir.File(c.logOnSmall ? "small/log" : "log");
    std::filesystem::create_directories(cacheDir);
    std::filesystem::create_directories(logDir);

    // A private copy of the library: each case starts with a log of its own.
    testing_support::PluginLibrary library(
        testing_support::PluginLibrary::CopyInto(dir.path(), "tunewell-disk"));
    ASSERT_TRUE(library.ok()) << library.reason();
    FakeHostCallback host;
    host.httpProxy = proxy;
    CLyricsDllInterface* plugin = library.Create();
    plugin->SetHostCallback(&host);
    const WString cacheFolder = Widen(cacheDir), logFolder = Widen(logDir), debug = u"Debug";
    plugin->SetProperty(u"LocalCacheFolder", &cacheFolder);
    plugin->SetProperty(u"LogFolder", &logFolder);
    plugin->SetProperty(u"TraceLevel", &debug);

    const auto search = [&](const testing_support::CorpusArtist& artist) {
      WString url;
      EXPECT_EQ(1, plugin->FindArtist(Widen(artist.name), url)) << artist.name;
      EXPECT_EQ(Widen(artist.url()), url) << artist.name;
    };
    search(*artists[0]);
    if (c.logOnSmall && c.readOnly) {
      // An open file keeps a file system from turning read-only: this case starts a new log
      // after the change, in a folder it cannot write.
      plugin->CallMethod(u"CloseAndMergeLog", nullptr);
      ASSERT_TRUE(small.SetReadOnly(true));
      plugin->SetProperty(u"LogFolder", &logFolder);
      plugin->SetProperty(u"TraceLevel", &debug);  // a new start is at Error
    }
    const auto cacheBefore = Snapshot(cacheDir);
    ASSERT_FALSE(cacheBefore.empty());
    const std::size_t linesBefore = TraceLines(logDir).size();

    if (!(c.logOnSmall && c.readOnly)) {
      ASSERT_TRUE(c.readOnly ? small.SetReadOnly(true) : small.Fill());
    }
    // Enough searches that the trace outgrows what is left of its file's last page.
    std::size_t lines = linesBefore;
    bool dropped = false;
    for (int i = 1; i <= 30; ++i) {
      search(*artists[1 + i % 2]);
      const std::size_t now = TraceLines(logDir).size();
      dropped = dropped || now == lines;
      lines = now;
    }
    if (c.cacheOnSmall) {
      // Existing files stay as they were; a new one may be there, empty (made for its lock).
      for (const auto& [path, bytes] : Snapshot(cacheDir)) {
        const auto before = cacheBefore.find(path);
        EXPECT_EQ(before == cacheBefore.end() ? "" : before->second, bytes) << path;
      }
      EXPECT_TRUE(HasLine(TraceLines(logDir),
                          "WriteArtistUrl to LocalCache fails for: " + artists[1]->name));
    } else {
      EXPECT_TRUE(dropped) << "lines are dropped, whole, once the log cannot be written";
    }
    // Room again: the next search writes both.
    if (c.readOnly) {
      ASSERT_TRUE(small.SetReadOnly(false));
    } else {
      small.FreeSpace();
    }
    const std::size_t linesNow = TraceLines(logDir).size();
    const auto cacheNow = Snapshot(cacheDir);
    search(*artists[3]);
    EXPECT_NE(cacheNow, Snapshot(cacheDir)) << "the cache is written again";
    EXPECT_GT(TraceLines(logDir).size(), linesNow) << "the log takes lines again";

    delete plugin;
    library.Close();
  }
}

}  // namespace
