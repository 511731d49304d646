#include "session/private_log_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace host {
namespace {

namespace fs = std::filesystem;

long EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// What a killed run left is removed by the next one; a running run's folder, anything not named
// so, and whatever a link of that name points to are left.
TEST(PrivateLogFolder, MadeForTheRunAndRemovingOnlyWhatEndedRunsLeft) {
  const testing_support::TempDir dir;
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before != nullptr ? before : "";
  setenv("TMPDIR", dir.path().c_str(), 1);
  const std::string dead = std::to_string(EndedProcess()), alive = std::to_string(getppid());
  const fs::path target = fs::path(dir.path()) / "precious";
  fs::create_directories(target / "inside");
  fs::create_directory_symlink(target, fs::path(dir.path()) / ("tunewell-log-" + dead + "-9"));
  struct Case {
    std::string name;
    bool left;
  };
  const Case cases[] = {{"tunewell-log-" + dead + "-0", false},
                        {"tunewell-log-" + alive + "-0", true},
                        {"tunewell-log-x-0", true},
                        {"tunewell-cache-" + dead + "-0", true}};
  for (const Case& c : cases) fs::create_directories(fs::path(dir.path()) / c.name / "log");
  // Another user's folder of that name (as root only): not this run's to remove.
  const std::string others = "tunewell-log-" + dead + "-7";
  const bool asRoot = geteuid() == 0;
  if (asRoot) {
    fs::create_directories(fs::path(dir.path()) / others);
    chown((fs::path(dir.path()) / others).c_str(), 4321, 4321);
  }
  {
    PrivateLogFolder folder;
    ASSERT_TRUE(folder.Make());
    EXPECT_EQ(folder.Path().parent_path(), fs::path(dir.path()));
    EXPECT_EQ(fs::status(folder.Path()).permissions() & fs::perms::all, fs::perms::owner_all);
    for (const Case& c : cases) {
      EXPECT_EQ(fs::exists(fs::path(dir.path()) / c.name), c.left) << c.name;
    }
    EXPECT_TRUE(fs::exists(target / "inside"));
    EXPECT_EQ(fs::exists(fs::path(dir.path()) / others), asRoot);
    const fs::path made = folder.Path();
    folder.Remove();
    EXPECT_FALSE(fs::exists(made));
  }
  if (before != nullptr) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

}  // namespace
}  // namespace host
