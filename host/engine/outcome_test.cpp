#include "engine/outcome.h"

#include <gtest/gtest.h>

#include "os/interrupts.h"
#include "session/cancel_switch.h"

namespace host {
namespace {

class OutcomeTest : public ::testing::Test {
 protected:
  void SetUp() override { CancelSwitch::Reset(); }
  void TearDown() override { CancelSwitch::Reset(); }
};

TEST_F(OutcomeTest, ClassifiesByResultThenDownloads) {
  struct Case {
    bool found;
    DownloadStatistics before, after;
    Outcome outcome;
    int exitStatus;
  };
  const Case cases[] = {
      {true, {0, 0, 0}, {1, 1, 5}, Outcome::Found, 0},
      {true, {0, 0, 0}, {2, 1, 5}, Outcome::Found, 0},  // found despite a failed download
      {false, {0, 0, 0}, {1, 1, 5}, Outcome::NotFound, 1},
      {false, {0, 0, 0}, {0, 0, 0}, Outcome::NotFound, 1},  // refused before any download
      {false, {0, 0, 0}, {1, 0, 5}, Outcome::DownloadFailed, 3},
      // only the downloads of this call count: an earlier failure is not this call's
      {false, {3, 2, 9}, {4, 3, 12}, Outcome::NotFound, 1},
      {false, {3, 2, 9}, {5, 3, 12}, Outcome::DownloadFailed, 3},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Classify(c.found, c.before, c.after);
    EXPECT_EQ(outcome, c.outcome) << OutcomeName(c.outcome);
    EXPECT_EQ(ExitStatusFor(outcome), c.exitStatus);
  }
}

TEST_F(OutcomeTest, ARunsStatusRanksCancelThenDownloadThenLocalThenNotFound) {
  struct Case {
    bool cancelled;
    int downloadFailed, localProblems, notFound;
    int exitStatus;
  };
  const Case cases[] = {
      {false, 0, 0, 0, 0},
      {false, 0, 0, 2, 1},
      {false, 0, 1, 2, 4},  // a local problem outranks a song not found
      {false, 1, 1, 2, 3},  // a failed download outranks a local problem
      {true, 1, 1, 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunExitStatus(c.cancelled, c.downloadFailed, c.localProblems, c.notFound),
              c.exitStatus)
        << c.cancelled << c.downloadFailed << c.localProblems << c.notFound;
  }
}

// A site that answered is not called unreachable: it refused.
TEST_F(OutcomeTest, AStoppedRunSaysWhyAndWhatIsLeft) {
  struct Case {
    Outcome stoppedBy;
    SiteStop gaveUp;
    std::string note;
  };
  const Case cases[] = {
      {Outcome::Found, SiteStop::None, ""},
      {Outcome::Found, SiteStop::NotReachable, "; site not reachable, 7 not done"},
      {Outcome::Found, SiteStop::Refused, "; site refused, 7 not done"},
      {Outcome::TimedOut, SiteStop::None, "; timed out, 7 not done"},
  };
  for (const Case& c : cases) EXPECT_EQ(StoppedNote(c.stoppedBy, c.gaveUp, 7), c.note);
}

TEST_F(OutcomeTest, TimeOutOutranksAFailedDownload) {
  CancelSwitch::Install(1e-9);
  EXPECT_EQ(Classify(false, {0, 0, 0}, {1, 0, 5}), Outcome::TimedOut);
  EXPECT_EQ(ExitStatusFor(Outcome::TimedOut), 1);
  EXPECT_EQ(Classify(true, {0, 0, 0}, {1, 1, 5}), Outcome::Found);
}

TEST_F(OutcomeTest, InterruptGivesStatusOne) {
  CancelSwitch::Install(std::nullopt);
#ifdef _WIN32
  // A console event cannot be raised for this process alone: hand the switch what the
  // console handler would.
  NoteInterrupt();
#else
  ASSERT_EQ(raise(SIGINT), 0);
#endif
  EXPECT_TRUE(CancelSwitch::Cancelled());
  EXPECT_EQ(Classify(false, {0, 0, 0}, {1, 1, 5}), Outcome::Interrupted);
  EXPECT_EQ(ExitStatusFor(Outcome::Interrupted), 1);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace host
