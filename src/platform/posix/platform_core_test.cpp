#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <latch>
#include <memory>
#include <set>
#include <thread>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "platform/system_error.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Narrow;
using testing_support::TempDir;

TEST(File, OpenFailuresCarryWindowsErrorNumbers) {
  TempDir dir;
  std::ofstream(dir.File("exists")) << "x";
  mkdir(dir.File("folder").c_str(), 0700);
  const struct {
    std::string path;
    std::uint32_t flags;
    std::uint32_t code;
  } cases[] = {
      {dir.File("missing"), platform::File::modeRead, platform::error::kFileNotFound},
      {dir.File("no/such/folder/file"), platform::File::modeRead, platform::error::kPathNotFound},
      {dir.File("no/file"), platform::File::modeCreate | platform::File::modeWrite,
       platform::error::kPathNotFound},
      {dir.File("folder"), platform::File::modeRead, platform::error::kAccessDenied},
  };
  for (const auto& c : cases) {
    platform::File file;
    platform::FileError error;
    EXPECT_FALSE(file.Open(platform::PathFromNative(c.path), c.flags, &error)) << c.path;
    EXPECT_EQ(c.code, error.Code()) << c.path;
    EXPECT_EQ(c.code, platform::GetLastErrorCode()) << c.path;
    EXPECT_EQ(platform::PathFromNative(c.path), error.Path());
    EXPECT_FALSE(error.Message().empty());
  }
}

// Holds a file open in a child process until destroyed, so that a second open can meet it
// from another process.
class OpenInAnotherProcess {
 public:
  OpenInAnotherProcess(const WString& path, std::uint32_t flags) {
    int ready[2], done[2];
    if (pipe(ready) != 0 || pipe(done) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(done[1]);
      platform::File file;
      const char opened = file.Open(path, flags) ? 1 : 0;
      (void)!write(ready[1], &opened, 1);
      char unused;
      (void)!read(done[0], &unused, 1);  // returns when the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    done_ = done[1];
    char opened = 0;
    opened_ = read(ready[0], &opened, 1) == 1 && opened == 1;
    close(ready[0]);
  }
  ~OpenInAnotherProcess() {
    if (done_ >= 0) close(done_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool Opened() const { return opened_; }

 private:
  pid_t pid_ = -1;
  int done_ = -1;
  bool opened_ = false;
};

// Windows' sharing rules between two opens of one file, whether the first is in this process
// or another: the second may not ask for what the first denies, nor deny what the first has.
// A refused open changes nothing (a refused create does not truncate).
TEST(File, SharingModesHoldBetweenOpensAsOnWindows) {
  using F = platform::File;
  const struct {
    std::uint32_t first, second;
    bool allowed;
  } cases[] = {
      {F::modeRead | F::shareDenyNone, F::modeRead | F::shareDenyNone, true},
      {F::modeRead | F::shareDenyWrite, F::modeRead | F::shareDenyWrite, true},
      {F::modeRead | F::shareDenyWrite, F::modeWrite | F::shareDenyNone, false},
      {F::modeWrite | F::shareDenyWrite, F::modeWrite | F::shareDenyWrite | F::modeCreate, false},
      {F::modeWrite | F::shareDenyWrite, F::modeRead | F::shareDenyNone, true},
      {F::modeWrite | F::shareDenyNone, F::modeRead | F::shareDenyWrite, false},
      {F::modeWrite | F::shareDenyNone, F::modeReadWrite | F::shareDenyNone, true},
      {F::modeRead, F::modeRead | F::shareDenyNone, false},  // compatibility: exclusive
      {F::modeRead | F::shareDenyNone, F::modeRead | F::shareDenyRead, false},
      {F::modeWrite | F::shareExclusive, F::modeRead | F::shareDenyNone, false},
      {F::modeReadWrite | F::shareDenyRead, F::modeWrite | F::shareDenyNone, true},
  };
  TempDir dir;
  const WString path = platform::PathFromNative(dir.File("shared"));
  for (const auto& c : cases) {
    const std::string row = "case index " + std::to_string(&c - cases);
    for (const bool otherProcess : {false, true}) {
      std::ofstream(dir.File("shared"), std::ios::binary) << "held";
      F here;
      std::unique_ptr<OpenInAnotherProcess> there;
      if (otherProcess) {
        there = std::make_unique<OpenInAnotherProcess>(path, c.first);
        ASSERT_TRUE(there->Opened()) << row;
      } else {
        ASSERT_TRUE(here.Open(path, c.first)) << row;
      }
      F second;
      platform::FileError error;
      EXPECT_EQ(c.allowed, second.Open(path, c.second, &error)) << row << " " << otherProcess;
      if (!c.allowed) {
        EXPECT_EQ(platform::error::kSharingViolation, error.Code()) << row;
        EXPECT_EQ(u"The process cannot access the file because it is being used by another "
                  u"process.\r\n",
                  error.Message());
        EXPECT_EQ("held", testing_support::ReadFileBytes(dir.File("shared"))) << row;
      }
    }
    // Closing the first open lifts what it denied.
    F again;
    EXPECT_TRUE(again.Open(path, c.second)) << row;
  }
}

// Two opens that deny each other, racing, each closing at once: each may see the other's for a
// moment, and both have the file after their retries.
TEST(File, OpensThatClashOnlyForAMomentBothSucceed) {
  using F = platform::File;
  TempDir dir;
  std::ofstream(dir.File("raced"), std::ios::binary) << "x";
  const WString path = platform::PathFromNative(dir.File("raced"));
  std::atomic<int> failed{0};
  for (int round = 0; round < 100; ++round) {
    std::latch start(2);
    const auto open = [&] {
      start.arrive_and_wait();
      F file;
      if (!file.Open(path, F::modeReadWrite | F::shareExclusive)) ++failed;
    };
    std::thread first(open);
    std::thread second(open);
    first.join();
    second.join();
  }
  EXPECT_EQ(failed, 0);
}

TEST(File, CreateTruncatesUnlessNoTruncate) {
  TempDir dir;
  const WString path = platform::PathFromNative(dir.File("f"));
  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::File::modeCreate | platform::File::modeWrite));
    file.Write("hello", 5);
  }
  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::File::modeCreate | platform::File::modeNoTruncate |
                                    platform::File::modeWrite));
    EXPECT_EQ(5u, file.GetLength());
    EXPECT_EQ(5u, file.SeekToEnd());
    file.Write("!", 1);
  }
  EXPECT_EQ("hello!", testing_support::ReadFileBytes(dir.File("f")));
  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::File::modeCreate | platform::File::modeWrite));
    EXPECT_EQ(0u, file.GetLength());
  }
}

TEST(File, ReadWriteSeekAndErrors) {
  TempDir dir;
  const WString path = platform::PathFromNative(dir.File("data"));
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::File::modeCreate | platform::File::modeReadWrite));
  file.Write("0123456789", 10);
  EXPECT_EQ(3u, file.Seek(3, platform::File::begin));
  char buffer[4] = {};
  EXPECT_EQ(4u, file.Read(buffer, 4));
  EXPECT_EQ("3456", std::string(buffer, 4));
  EXPECT_EQ(9u, file.Seek(-1, platform::File::end));
  EXPECT_EQ(1u, file.Read(buffer, 4));
  EXPECT_EQ(0u, file.Read(buffer, 4));
  EXPECT_THROW(file.Seek(-100, platform::File::current), platform::FileError);
  EXPECT_EQ(u"data", file.GetFileName());
  file.Close();
  EXPECT_THROW(file.Read(buffer, 1), platform::FileError);

  platform::File::Remove(path);
  EXPECT_FALSE(platform::File::Exists(path));
  try {
    platform::File::Remove(path);
    FAIL() << "removing a missing file must fail";
  } catch (const platform::FileError& error) {
    EXPECT_EQ(platform::error::kFileNotFound, error.Code());
  }
}

TEST(File, CreateDirectoryMakesOneLevel) {
  TempDir dir;
  EXPECT_TRUE(platform::File::CreateDirectory(platform::PathFromNative(dir.File("a"))));
  EXPECT_TRUE(platform::File::IsDirectory(platform::PathFromNative(dir.File("a"))));
  EXPECT_FALSE(platform::File::CreateDirectory(platform::PathFromNative(dir.File("a"))));
  EXPECT_EQ(platform::error::kAlreadyExists, platform::GetLastErrorCode());
  EXPECT_FALSE(platform::File::CreateDirectory(platform::PathFromNative(dir.File("b/c"))));
  EXPECT_EQ(platform::error::kPathNotFound, platform::GetLastErrorCode());
}

TEST(PathEncoding, RoundTripsThroughUtf8) {
  const WString names[] = {u"plain", u"caf\u00e9", u"\u4e2d\u6587", u"emoji \U0001F3B5"};
  for (const auto& name : names) {
    EXPECT_EQ(Narrow(name), platform::PathToNative(name));
    EXPECT_EQ(name, platform::PathFromNative(platform::PathToNative(name)));
  }
  // A lone surrogate has no UTF-8 spelling: it becomes U+FFFD instead of failing the path.
  EXPECT_EQ("a\xEF\xBF\xBD" "b", platform::PathToNative(WString(u"a") + char16_t(0xD800) + u"b"));
}

TEST(Process, IdsAndModulePath) {
  EXPECT_NE(0u, platform::CurrentProcessId());
  const std::uint32_t self = platform::CurrentThreadId();
  std::uint32_t other = 0;
  std::thread t([&] { other = platform::CurrentThreadId(); });
  t.join();
  EXPECT_NE(0u, other);
  EXPECT_NE(self, other);
  const WString path = platform::GetModuleFilePath(reinterpret_cast<const void*>(&platform::CurrentProcessId));
  EXPECT_FALSE(path.empty());
  EXPECT_EQ(u'/', path.front());
  EXPECT_TRUE(platform::File::Exists(path));
}

TEST(Clock, TickCountAndCounterAdvance) {
  const std::uint32_t ticks = platform::GetTickCount();
  const std::int64_t counter = platform::QueryPerformanceCounter();
  platform::Sleep(20);
  EXPECT_GE(platform::GetTickCount() - ticks, 15u);  // unsigned: wrap-safe
  EXPECT_GT(platform::QueryPerformanceCounter(), counter);
  EXPECT_GT(platform::QueryPerformanceFrequency(), 0);
  const platform::LocalTime now = platform::GetLocalTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond < 1000);
}

}  // namespace
