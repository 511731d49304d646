// The C runtime's generator, the upper-casing of every letter, and the system's error numbers
// and texts: the same tables for the POSIX stand-ins and for the real functions of the Windows
// build.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

#include "platform/case_map.h"
#include "platform/crt_rand.h"
#include "platform/system_error.h"
#include "support/fake_host.h"
#include "support/wine.h"

namespace {

using testing_support::Narrow;

TEST(CrtRand, FollowsTheMicrosoftGenerator) {
  // The first values of the Microsoft runtime after srand(1) (and without any srand).
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  std::thread fresh([&] {
    for (int value : expected) EXPECT_EQ(value, platform::CrtRand());
  });
  fresh.join();
  platform::CrtSrand(1);
  for (int value : expected) EXPECT_EQ(value, platform::CrtRand());
  platform::CrtSrand(12345);
  const int a = platform::CrtRand();
  platform::CrtSrand(12345);
  EXPECT_EQ(a, platform::CrtRand());
}

// Both builds against Unicode's simple mapping as ICU gives it (the file): on POSIX that is
// the mapping itself, so the file cannot drift from it; on Windows it is the system's own
// upper-casing, which departs from Unicode for the units below.
TEST(CaseMap, EveryUnitOfTheBasicPlaneFoldsAsUnicodeSays) {
  std::map<char16_t, char16_t> unicode;
  std::ifstream file(TUNEWELL_SOURCE_DIR "/tests/data/unicode_upper_case.txt");
  for (std::string line; std::getline(file, line);) {
    unsigned unit = 0, upper = 0;
    if (std::sscanf(line.c_str(), "%x %x", &unit, &upper) == 2) unicode[unit] = upper;
  }
  ASSERT_GT(unicode.size(), 1000u);
  const struct {
    char16_t first, last;
    const char* reason;
  } windowsKeeps[] = {  // Windows leaves these as they are (checked under Wine)
      {0x00B5, 0x00B5, "the micro sign (Unicode: capital mu)"},
      {0x0131, 0x0131, "dotless i (Unicode: I)"},
      {0x017F, 0x017F, "long s (Unicode: S)"},
      {0x01C5, 0x01C5, "a title-case digraph (Unicode: its capital)"},
      {0x01C8, 0x01C8, "a title-case digraph"},
      {0x01CB, 0x01CB, "a title-case digraph"},
      {0x01F2, 0x01F2, "a title-case digraph"},
      {0x0345, 0x0345, "the combining iota subscript (Unicode: capital iota)"},
      {0x03C2, 0x03C2, "final sigma (Unicode: capital sigma)"},
      {0x03D0, 0x03D1, "Greek symbol forms of beta and theta"},
      {0x03D5, 0x03D6, "Greek symbol forms of phi and pi"},
      {0x03F0, 0x03F1, "Greek symbol forms of kappa and rho"},
      {0x03F5, 0x03F5, "the lunate epsilon symbol"},
      {0x1C80, 0x1C88, "old Cyrillic letter variants (Unicode: the common capitals)"},
      {0x1E9B, 0x1E9B, "long s with dot above"},
      {0x1FBE, 0x1FBE, "the Greek prosgegrammeni (Unicode: capital iota)"},
  };
#ifdef _WIN32
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  const auto windowsKeepsIt = [&](char16_t unit) {
    for (const auto& range : windowsKeeps) {
      if (kWindows && unit >= range.first && unit <= range.last) return true;
    }
    return false;
  };
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    const char16_t unit = static_cast<char16_t>(c);
    char16_t expected = unit >= u'a' && unit <= u'z' ? unit - 32 : unit;
    if (const auto found = unicode.find(unit); found != unicode.end()) expected = found->second;
    if (windowsKeepsIt(unit)) expected = unit;
    EXPECT_EQ(expected, platform::ToUpper(unit)) << std::hex << c;
  }
}

TEST(CrtRand, StateIsPerThread) {
  platform::CrtSrand(7);
  platform::CrtRand();
  int otherThreadFirst = -1;
  std::thread other([&] { otherThreadFirst = platform::CrtRand(); });
  other.join();
  EXPECT_EQ(41, otherThreadFirst);
}

// Every number the platform layer produces, with its English text as the system's message
// tables have it (the WinINet/WinHTTP texts carry no final period): the stand-in's table and
// Windows' own FormatMessageW must both give these.
TEST(ErrorText, EnglishTextsEndInLineBreak) {
  const struct {
    std::uint32_t code;
    const char* text;
  } cases[] = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {4, "The system cannot open the file.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough memory resources are available to process this command.\r\n"},
      {29, "The system cannot write to the specified device.\r\n"},
      {30, "The system cannot read from the specified device.\r\n"},
      {32, "The process cannot access the file because it is being used by another process.\r\n"},
      {38, "Reached the end of the file.\r\n"},
      {80, "The file exists.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {112, "There is not enough space on the disk.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
      {131, "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
      {183, "Cannot create a file when that file already exists.\r\n"},
      {206, "The filename or extension is too long.\r\n"},
      {1004, "Invalid flags.\r\n"},
      {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
      {12001, "No more handles could be generated at this time\r\n"},
      {12002, "The operation timed out\r\n"},
      {12004, "An internal error occurred in the Microsoft Internet extensions\r\n"},
      {12005, "The URL is invalid\r\n"},
      {12006, "The URL does not use a recognized protocol\r\n"},
      {12007, "The server name or address could not be resolved\r\n"},
      {12017, "The operation was canceled\r\n"},
      {12019, "The requested operation cannot be carried out because the handle supplied is not in the correct state\r\n"},
      {12029, "A connection with the server could not be established\r\n"},
      {12030, "The connection with the server was terminated abnormally\r\n"},
      {12150, "The requested header could not be located\r\n"},
      {12152, "The server returned an invalid or unrecognized response\r\n"},
      {12156, "The HTTP redirect request failed\r\n"},
      {12175, "A security error occurred\r\n"},
      {99999, ""},
  };
  // Wine words the texts its own way (or has none), for every number but the unknown one.
  const auto wineDiffers = [](std::uint32_t code) {
    return code == 99999 ? nullptr
           : code < 12000 ? "Wine's system message table words its texts its own way"
                          : "Wine's WinHTTP and WinINet message tables word them their own "
                            "way, or lack them";
  };
  for (const auto& c : cases) {
    if (testing_support::KnownWineDifference(wineDiffers(c.code))) continue;
    EXPECT_EQ(c.text, Narrow(platform::ErrorText(c.code))) << c.code;
  }
}

// Checked while the other thread still runs: on Windows, starting and joining a thread are
// system calls of this thread, and may set its last error themselves.
TEST(LastError, IsPerThread) {
  std::atomic<int> step{0};
  std::uint32_t fresh = 1;
  std::thread other([&] {
    fresh = platform::GetLastErrorCode();
    platform::SetLastErrorCode(5);
    step = 1;
    while (step != 2) std::this_thread::yield();
  });
  platform::SetLastErrorCode(87);
  while (step != 1) std::this_thread::yield();
  EXPECT_EQ(87u, platform::GetLastErrorCode());
  step = 2;
  other.join();
  EXPECT_EQ(0u, fresh);
}

}  // namespace
