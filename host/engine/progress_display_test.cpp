#include "engine/progress_display.h"

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

TEST(ProgressDisplay, FitLabelKeepsTheFileName) {
  struct Case {
    std::string label;
    std::size_t width;
    std::string fitted;
  };
  const Case cases[] = {
      {"A - One", 10, "A - One"},
      {"Music/Kestrel/Rain/01 Kestrel - Rain.mp3", 30, "Mus...in/01 Kestrel - Rain.mp3"},
      {"Music/Kestrel/Rain/01 Kestrel - Rain.mp3", 21, "01 Kestrel - Rain.mp3"},
      {"Music/Kestrel/Rain/01 Kestrel - Rain.mp3", 16, "01 Kest...in.mp3"},
      {"Músic/Ünïcode/01 Ñame.flac", 20, "Mú...de/01 Ñame.flac"},
      {"A very long artist - And title", 12, "A ver...itle"},
      // Display columns: a CJK character takes two, a combining mark none and never starts
      // a cut end on its own.
      {"\xE9\x9F\xB3\xE6\xA5\xBD/\xE6\xAD\x8C\xE6\x89\x8B/01 \xE6\xAD\x8C\xE6\x89\x8B - "
       "\xE6\xAD\x8C.mp3",
       24, "\xE9\x9F\xB3...\xE6\x89\x8B/01 \xE6\xAD\x8C\xE6\x89\x8B - \xE6\xAD\x8C.mp3"},
      {"\xE6\xBC\xA2\xE5\xAD\x97\xE6\xBC\xA2\xE5\xAD\x97\xE6\xBC\xA2\xE5\xAD\x97"
       "\xE6\xBC\xA2\xE5\xAD\x97\xE6\xBC\xA2\xE5\xAD\x97",
       9, "\xE6\xBC\xA2...\xE5\xAD\x97"},
      {"Cafe\xCC\x81", 4, "Cafe\xCC\x81"},
      {"wxyzAB\xCC\x81" "C", 5, "w...C"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressDisplay::FitLabel(c.label, c.width), c.fitted) << c.label;
  }
}

std::string Capture(bool terminal, int columns = 80, bool quiet = false) {
  // A temporary file rather than open_memstream, which Windows' runtime lacks.
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) return "(no temporary file)";
  {
    ProgressDisplay progress(stream, terminal, 2, columns, quiet);
    progress.Started(0, "A - One");
    for (const int left : {12, 11, 0}) progress.Waiting(left, "the site asked to wait");
    progress.Finished(0, "found", "A - One");
    progress.Started(1, "B - Two");
    for (const int left : {3, 0}) progress.Waiting(left, "2 downloads failed");
    progress.Finished(1, "not found", "B - Two", true);
    progress.Close();
  }
  std::string out;
  std::rewind(stream);
  for (int c; (c = std::fgetc(stream)) != EOF;) out.push_back(static_cast<char>(c));
  std::fclose(stream);
  return out;
}

TEST(ProgressDisplay, PlainLinesOffATerminal) {
  // A wait long enough to look like a hang says so once; a short one is not news.
  EXPECT_EQ(Capture(false),
            "1/2 waiting 12 s (the site asked to wait): A - One\n"
            "1/2 found: A - One\n2/2 not found: B - Two\n");
  // --quiet: the problems alone, on a terminal too.
  EXPECT_EQ(Capture(true, 80, true), "2/2 not found: B - Two\n");
}

TEST(ProgressDisplay, OneBarRedrawnInPlaceOnATerminalAndProblemsKept) {
  const std::string out = Capture(true);
  EXPECT_NE(out.find("\r[....................] 0/2 searching: A - One\x1b[K"), std::string::npos);
  // A wait counted down on the bar, then the search again.
  const std::size_t waiting =
      out.find("\r[....................] 0/2 waiting 12 s (the site asked to wait): A - One\x1b[K"
               "\r[....................] 0/2 waiting 11 s (the site asked to wait): A - One\x1b[K"
               "\r[....................] 0/2 searching: A - One\x1b[K");
  EXPECT_NE(waiting, std::string::npos) << out;
  EXPECT_NE(out.find("1/2 waiting 3 s (2 downloads failed): B - Two\x1b[K"), std::string::npos);
  EXPECT_NE(out.find("\r[##########..........] 1/2 found: A - One\x1b[K"), std::string::npos);
  EXPECT_NE(out.find("\r\x1b[K2/2 not found: B - Two\n"), std::string::npos) << "kept above";
  EXPECT_TRUE(
      out.ends_with("\r[####################] 2/2 not found: B - Two\x1b[K\n"
                    "not found or failed: 1\n  2/2 not found: B - Two\n"))
      << out;
}

TEST(ProgressDisplay, NoRedrawnLineIsWiderThanTheTerminal) {
  // 40 columns: the bar's line, less its control sequences, stays within 39.
  std::string out = Capture(true, 40);
  for (const std::string control : {"\x1b[K", "\r"}) {
    for (std::size_t at; (at = out.find(control)) != std::string::npos;)
      out.replace(at, control.size(), "\n");
  }
  for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    EXPECT_LE(end - start, 39u) << out.substr(start, end - start);
  }
}

}  // namespace
}  // namespace host
