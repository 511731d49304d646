#include "os/terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace host {
namespace {

// The bar redraws only on a terminal that can: an editor's shell buffer says TERM=dumb and
// would show every carriage return and escape; a pipe is no terminal at all.
TEST(Terminal, RedrawsOnlyOnATerminalThatIsNotDumb) {
  const int leader = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(leader, 0);
  ASSERT_EQ(grantpt(leader), 0);
  ASSERT_EQ(unlockpt(leader), 0);
  std::FILE* terminal = std::fopen(ptsname(leader), "w");
  ASSERT_NE(terminal, nullptr);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::FILE* piped = fdopen(ends[1], "w");
  const char* saved = std::getenv("TERM");
  const std::optional<std::string> before =
      saved ? std::optional<std::string>(saved) : std::nullopt;
  struct Case {
    const char* term;  // null: unset
    bool onTerminal;
  };
  const Case cases[] = {{"xterm-256color", true}, {"dumb", false}, {"", false}, {nullptr, false}};
  for (const Case& c : cases) {
    if (c.term) {
      setenv("TERM", c.term, 1);
    } else {
      unsetenv("TERM");
    }
    EXPECT_EQ(RedrawsInPlace(terminal), c.onTerminal) << (c.term ? c.term : "(unset)");
    EXPECT_TRUE(IsTerminal(terminal)) << "output is still escaped for a dumb terminal";
    EXPECT_FALSE(RedrawsInPlace(piped));
  }
  if (before) {
    setenv("TERM", before->c_str(), 1);
  } else {
    unsetenv("TERM");
  }
  std::fclose(piped);
  close(ends[0]);
  std::fclose(terminal);
  close(leader);
}

}  // namespace
}  // namespace host
