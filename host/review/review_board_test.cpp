#include "review/review_board.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace host {
namespace {

struct FileCase {
  const char* what;
  const char* path;
  TagStatus status;
  const char* level;   // of the match; "" for none
  const char* lyrics;  // found
  const char* held;    // as read
  bool acceptDoubtful;
  Decision decision;   // the person's, when not the first
  bool decide;
  // What comes of it:
  FileState state;
  Decision first;
  TagStatus final;
};

ReviewFile Made(const FileCase& c) {
  ReviewFile file;
  file.path = c.path;
  file.reached = true;
  file.result.path = c.path;
  file.result.status = c.status;
  file.result.lyrics = c.lyrics;
  file.result.heldLyrics = c.held;
  if (*c.level != '\0') file.result.match = MatchReport{c.level, {}, {}};
  file.decision = FirstDecision(StateOf(file), c.acceptDoubtful);
  if (c.decide) file.decision = c.decision;
  return file;
}

using D = Decision;
using S = FileState;
using T = TagStatus;

// What each file is in the page, the decision it starts with, and what the summary says of it:
// only a trusted match starts accepted (a doubtful one too with --accept doubtful); a match
// found and not written is skipped, but a doubtful one not skipped stays doubtful, as in tag.
const FileCase kCases[] = {
    {"trusted", "m/A/a.mp3", T::WouldTag, "exact", "la", "", false, D::Accept, false,
     S::Found, D::Accept, T::Skipped},
    {"doubtful left alone", "m/A/b.mp3", T::WouldTag, "doubtful", "la", "", false, D::Accept,
     false, S::Doubtful, D::Undecided, T::Doubtful},
    {"doubtful with --accept doubtful, not written", "m/A/c.mp3", T::WouldTag, "doubtful", "la",
     "", true, D::Accept, false, S::Doubtful, D::Accept, T::Doubtful},
    {"doubtful skipped", "m/B/d.mp3", T::WouldTag, "doubtful", "la", "", false, D::Skip, true,
     S::Doubtful, D::Undecided, T::Skipped},
    {"trusted skipped", "m/B/e.mp3", T::WouldTag, "normalised", "la", "", false, D::Skip, true,
     S::Found, D::Accept, T::Skipped},
    {"written", "m/B/f.mp3", T::Tagged, "exact", "la", "", false, D::Accept, false, S::Written,
     D::Undecided, T::Tagged},
    {"held lyrics", "m/B/g.mp3", T::HadLyrics, "", "", "old", false, D::Accept, false,
     S::HasLyrics, D::Undecided, T::HadLyrics},
    {"not found", "h.mp3", T::NotFound, "", "", "", false, D::Accept, false, S::NotFound,
     D::Undecided, T::NotFound},
    {"failed", "m/B/i.mp3", T::Failed, "", "", "", false, D::Accept, false, S::Failed,
     D::Undecided, T::Failed},
};

TEST(ReviewBoard, EachFilesStateFirstDecisionAndFinalStatus) {
  for (const FileCase& c : kCases) {
    FileCase first = c;
    first.decide = false;
    const ReviewFile file = Made(c);
    EXPECT_EQ(StateOf(file), c.state) << c.what;
    EXPECT_EQ(Made(first).decision, c.first) << c.what;
    EXPECT_EQ(FinalStatus(file), c.final) << c.what;
  }
  ReviewFile waiting;
  EXPECT_EQ(StateOf(waiting), FileState::Waiting);
}

// The bars: per folder and per artist, files holding lyrics (as read or written here), accepted
// ones that would add to them, and those not yet reached.
TEST(ReviewBoard, CoverageCountsHoldingAcceptedAndWaitingPerGroup) {
  std::vector<ReviewFile> files;
  for (const FileCase& c : kCases) files.push_back(Made(c));
  files[1].result.named = true;
  files[1].result.names.artist = "<b>Grey Heron</b>";
  ReviewFile waiting;
  waiting.path = "m/A/z.mp3";
  files.push_back(waiting);
  EXPECT_EQ(CoverageByFolder(files), (std::vector<CoverageRow>{{".", 1, 0, 0, 0},
                                                               {"m/A", 4, 0, 2, 1},
                                                               {"m/B", 5, 2, 0, 0}}));
  EXPECT_EQ(CoverageByArtist(files), (std::vector<CoverageRow>{{"(no artist)", 9, 2, 2, 1},
                                                               {"<b>Grey Heron</b>", 1, 0, 0, 0}}));
}

}  // namespace
}  // namespace host
