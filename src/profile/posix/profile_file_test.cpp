// The INI layer's file side on POSIX: a file's identity and its permissions.
#include "profile/profile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "platform/system_error.h"
#include "support/profile_files.h"
#include "support/temp_dir.h"

namespace {

using namespace profile_test;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(Profile, SeesChangesMadeByOtherPrograms) {
  TempDir dir;
  const std::string path = dir.File("x.ini");
  WriteBytes(path, "[S]\r\nK=one\r\n");
  EXPECT_EQ(Read(path, u"S", u"K").text, u"one");
  WriteBytes(path, "[S]\r\nK=three\r\n");  // same inode, new size
  EXPECT_EQ(Read(path, u"S", u"K").text, u"three");
  WriteBytes(path, "[S]\r\nK=seven\r\n");  // same inode, same size: the time tells
  const timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
  EXPECT_EQ(Read(path, u"S", u"K").text, u"seven");
  // Same inode, size and time again, at once: within one tick of the coarse clock that stamps
  // changes, so that even the change time may be the same. A version read that young is not
  // taken for the one its stamp names.
  WriteBytes(path, "[S]\r\nK=sixty\r\n");
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
  EXPECT_EQ(Read(path, u"S", u"K").text, u"sixty");
  const std::string other = dir.File("y.ini");
  WriteBytes(other, "[S]\r\nK=eight\r\n");
  ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);  // a new inode
  EXPECT_EQ(Read(path, u"S", u"K").text, u"eight");
}

// A stamp stands for one version only once the coarse clock has moved past its change: rows of
// the change's age now, in milliseconds (negative: in the future).
TEST(Profile, AStampProvesAVersionOnlyOnceItsChangeHasSettled) {
  TempDir dir;
  const std::string path = dir.File("s.ini");
  WriteBytes(path, "[S]\r\n");
  platform::ProfileStamp stamp;
  ASSERT_TRUE(platform::StampProfilePath(Wide(path), stamp));
  EXPECT_FALSE(platform::StampIsSettled(stamp)) << "just written";
  const struct {
    std::int64_t ageMs;
    bool settled;
  } rows[] = {{0, false}, {platform::kStampSettledAfterMs / 2, false},
              {platform::kStampSettledAfterMs * 2, true}, {60000, true}, {-60000, false}};
  for (const auto& row : rows) {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    stamp.changed = (now.tv_sec * std::int64_t{1000000000} + now.tv_nsec) - row.ageMs * 1000000;
    EXPECT_EQ(platform::StampIsSettled(stamp), row.settled) << row.ageMs << " ms";
  }
}

TEST(Profile, UnchangedValueLeavesFileAlone) {
  TempDir dir;
  const std::string path = dir.File("same.ini");
  ASSERT_TRUE(Write(path, u"S", u"K", u"v"));
  const ino_t first = Inode(path);
  ASSERT_TRUE(Write(path, u"s", u"k", u"v"));
  ASSERT_TRUE(Write(path, u"S", u"other", nullptr));
  ASSERT_TRUE(Write(path, u"Other", nullptr, nullptr));
  EXPECT_EQ(Inode(path), first);
  ASSERT_TRUE(Write(path, u"S", u"K", u"w"));
  EXPECT_NE(Inode(path), first);  // a change replaces the file
  // Many entries at once: unchanged ones leave the file alone, and any change replaces it
  // once with all of them applied in order.
  const ino_t second = Inode(path);
  ASSERT_TRUE(profile::WriteProfileStrings({{u"S", u"K", u"w"}, {u"s", u"k", u"w"}}, Wide(path)));
  EXPECT_EQ(Inode(path), second);
  ASSERT_TRUE(profile::WriteProfileStrings(
      {{u"S", u"K", u"x"}, {u"New", u"K", u"1"}, {u"new", u"K", u"2"}, {u"S", u"J", u"y"}},
      Wide(path)));
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nK=x\r\nJ=y\r\n[New]\r\nK=2\r\n");
}

TEST(Profile, KeepsPermissions) {
  TempDir dir;
  const std::string path = dir.File("mode.ini");
  WriteBytes(path, "[S]\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(Write(path, u"S", u"K", u"v"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Files the layer must not wait on: each is left alone within a bounded wait, a read gives
// what the row says and a write fails with its error, and the file is as it was. A writer whose
// caller gives up stops waiting for the lock then.
TEST(Profile, FilesItCannotUseFailWithoutWaiting) {
  enum Kind { kLocked, kLockedGivingUp, kFifo, kDevice };
  struct Case {
    Kind kind;
    const char16_t* read;
    std::uint32_t writeError;
  };
  const Case cases[] = {
      {kLocked, u"old", platform::error::kSharingViolation},  // readers take no lock
      {kLockedGivingUp, u"old", platform::error::kCancelled},
      {kFifo, u"dflt", platform::error::kAccessDenied},       // no writer ever comes
      {kDevice, u"dflt", platform::error::kAccessDenied},     // endless bytes
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const std::string path = dir.File("held.ini");
    ::unlink(path.c_str());
    int holder = -1;
    const bool locked = c.kind == kLocked || c.kind == kLockedGivingUp;
    if (locked) {
      WriteBytes(path, "[S]\r\nK=old\r\n");
      // Another open of the file holds the lock and never lets it go.
      holder = ::open(path.c_str(), O_RDWR);
      ASSERT_GE(holder, 0);
      ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    } else if (c.kind == kFifo) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else {
      ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    }
    EXPECT_EQ(Read(path, u"S", u"K", u"dflt").text, c.read);
    platform::SetLastErrorCode(0);
    EXPECT_FALSE(c.kind == kLockedGivingUp
                     ? profile::WriteProfileStrings({{u"S", u"K", u"new"}}, Wide(path),
                                                    [] { return true; })
                     : Write(path, u"S", u"K", u"new"));
    EXPECT_EQ(platform::GetLastErrorCode(), c.writeError);
    if (holder >= 0) ::close(holder);
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    const bool unchanged = locked            ? ReadFileBytes(path) == "[S]\r\nK=old\r\n"
                           : c.kind == kFifo ? S_ISFIFO(st.st_mode)
                                             : S_ISLNK(st.st_mode);
    EXPECT_TRUE(unchanged);
  }
}

}  // namespace
