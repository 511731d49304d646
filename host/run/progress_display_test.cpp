#include "run/progress_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace host {
namespace {

TEST(ProgressDisplay, BarFillsInProportion) {
  struct Case {
    int done, total;
    std::string bar;
  };
  const Case cases[] = {{0, 20, "[..........]"},
                        {5, 20, "[##........]"},
                        {20, 20, "[##########]"},
                        {3, 0, "[##########]"}};
  for (const Case& c : cases) EXPECT_EQ(ProgressDisplay::Bar(c.done, c.total, 10), c.bar);
}

std::string Capture(bool terminal) {
  // A temporary file rather than open_memstream, which Windows' runtime lacks.
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) return "(no temporary file)";
  {
    ProgressDisplay progress(stream, terminal, 2);
    progress.Started(0, "A - One");
    progress.Finished(0, "found", "A - One");
    progress.Started(1, "B - Two");
    progress.Finished(1, "not found", "B - Two");
    progress.Close();
  }
  std::string out;
  std::rewind(stream);
  for (int c; (c = std::fgetc(stream)) != EOF;) out.push_back(static_cast<char>(c));
  std::fclose(stream);
  return out;
}

TEST(ProgressDisplay, PlainLinesOffATerminal) {
  EXPECT_EQ(Capture(false), "1/2 found: A - One\n2/2 not found: B - Two\n");
}

TEST(ProgressDisplay, OneBarRedrawnInPlaceOnATerminal) {
  const std::string out = Capture(true);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << "one line, ended at the close";
  EXPECT_NE(out.find("\r[....................] 0/2 searching: A - One\x1b[K"), std::string::npos);
  EXPECT_NE(out.find("\r[##########..........] 1/2 found: A - One\x1b[K"), std::string::npos);
  EXPECT_TRUE(out.ends_with("\r[####################] 2/2 not found: B - Two\x1b[K\n")) << out;
}

}  // namespace
}  // namespace host
