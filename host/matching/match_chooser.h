// The chooser: which of the songs the plug-in offered is the tag's song. Each is judged
// (matching/match_judge.h); the best level wins, then the fewest differences, then the title
// nearest the tag's, then a candidate whose artist the plug-in matched strictly, then the one
// offered first. So an exact match always wins, and a near-namesake artist ("Kestrels" for
// "Kestrel") never wins over the artist itself, which is a closer level. When another page
// ties with the winner on all of this, the site has two songs the tag could mean: the match is
// doubtful. Pure; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "matching/match_judge.h"

namespace host::matching {

struct Choice {
  std::optional<std::size_t> chosen;  // index into the candidates; none when none matches
  Judgement judgement;                // the chosen one's (no match or no lyrics when none)
};

Choice Choose(const Names& asked, const std::vector<Candidate>& candidates);

}  // namespace host::matching
