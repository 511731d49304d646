#include "engine/shown_waits.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace host {
namespace {

// A wait after failures is counted down on the bar, whole seconds rounded up, and the bar says
// "searching" again when it is over; the user's own delay leaves the bar alone.
TEST(ShownWaits, AWaitAfterFailuresIsCountedDownOnTheBar) {
  struct Case {
    int pauseMs;
    const char* why;
    std::string shown;  // the statuses drawn, one per line
  };
  const Case cases[] = {
      {1001, "the site asked to wait", "waiting 2 s (the site asked to wait)\n"
                                       "waiting 1 s (the site asked to wait)\nsearching\n"},
      {250, "", ""},
  };
  for (const Case& c : cases) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
      ProgressDisplay progress(stream, true, 1, 200);
      progress.Started(0, "A - B");
      ShownWaits clock(progress);
      EXPECT_TRUE(clock.Wait(std::chrono::milliseconds(c.pauseMs), c.why));
    }
    std::string out;
    std::rewind(stream);
    for (int ch; (ch = std::fgetc(stream)) != EOF;) out.push_back(static_cast<char>(ch));
    std::fclose(stream);
    // Each redraw: "\r[bar] 0/1 STATUS: A - B\x1b[K"; the first is the search's start.
    std::string shown;
    const std::string before = "] 0/1 ", after = ": A - B\x1b[K";
    for (std::size_t at = out.find(before), end; at != std::string::npos;
         at = out.find(before, end)) {
      end = out.find(after, at);
      shown += out.substr(at + before.size(), end - at - before.size()) + "\n";
    }
    EXPECT_EQ(shown, "searching\n" + c.shown) << c.pauseMs;
  }
}

}  // namespace
}  // namespace host
