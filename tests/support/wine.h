// Wine runs the Windows build's tests, but it is not Windows. Where it is known to differ from
// Windows, Windows stays the reference: the table row names the difference and is not checked
// under Wine, so that the POSIX side is never bent to a Wine quirk.
#pragma once

namespace testing_support {

// True in a Windows program that Wine runs.
bool RunningUnderWine();

// True when the row must be passed over: running under Wine and the row names a difference
// (null: none). The reason goes to the test's output, so the run says what it did not check.
bool KnownWineDifference(const char* reason);

}  // namespace testing_support
