#include "session/download_trouble.h"

#include <gtest/gtest.h>

namespace host {
namespace {

// The plug-in's warning lines, read back into what the user is told. The server's own words
// are kept (the terminal escapes them when printed), the system's texts for errors that mean
// nothing here are not passed on, and a failure is never told as success.
TEST(DownloadTrouble, TheLastFailureLineSaysWhatHappened) {
  const std::string line = "Download fails: http://lyrics.example/x, Proxy: , Response: ";
  const std::string tooLarge = "HttpDownloader::DownloadData body exceeds 33554432 bytes";
  struct Case {
    std::vector<std::string> lines;
    std::string what;
    bool noConnection = false, answered = false, askedToWait = false;
  };
  const Case cases[] = {
      {{line + "404 Not Found, Error:"},
       "the server answered \xE2\x80\x9C" "404 Not Found\xE2\x80\x9D", false, true},
      // The status text alone reaches the log: the two a site sends to be left alone a while.
      {{line + "Service Unavailable, Error:"},
       "the server answered \xE2\x80\x9C" "Service Unavailable\xE2\x80\x9D", false, true, true},
      {{line + "too many requests, Error:"},
       "the server answered \xE2\x80\x9C" "too many requests\xE2\x80\x9D", false, true, true},
      // A body over the limit explains its own failure, not the ones after it.
      {{tooLarge, line + "OK, Error:"}, "the page is larger than the 32 MiB a download may take",
       false, true},
      {{tooLarge, line + "OK, Error:", line + "Not Found, Error:"},
       "the server answered \xE2\x80\x9C" "Not Found\xE2\x80\x9D", false, true},
      {{line + "200 \x1B]0;owned\x07, Error:"},
       "the server answered \xE2\x80\x9C" "200 \x1B]0;owned\x07\xE2\x80\x9D", false, true},
#ifndef _WIN32
      {{line + ", Error:An internal error occurred in the Microsoft Internet extensions"},
       "the download failed, and the plug-in gave no reason that means anything here"},
      {{line + ", Error:The operation completed successfully."},
       "the download failed, and the plug-in gave no reason that means anything here"},
      // A silent server is no sign of a wrong --proxy; a refused connection is.
      {{line + ", Error:The operation timed out", "some later line"},
       "the server did not answer in time"},
      {{line + ", Error:A connection with the server could not be established"},
       "no connection could be made", true},
#endif
      {{}, ""},
  };
  for (const Case& c : cases) {
    const DownloadTrouble trouble = ReadDownloadTrouble(c.lines);
    const std::string last = c.lines.empty() ? "" : c.lines.back();
    EXPECT_EQ(trouble.what, c.what) << last;
    EXPECT_EQ(trouble.noConnection, c.noConnection) << last;
    EXPECT_EQ(trouble.answered, c.answered) << last;
    EXPECT_EQ(trouble.askedToWait, c.askedToWait) << last;
  }
}

// The --proxy hint goes where it may help: no connection, or a log that told nothing.
TEST(DownloadTrouble, TheProxyHintWhereItMayHelp) {
  const std::string hint = " (is the site reachable? see --proxy)";
  const std::pair<DownloadTrouble, std::string> cases[] = {
      {{}, hint},
      {{"no connection could be made", true}, ": no connection could be made" + hint},
      {{"the server did not answer in time"}, ": the server did not answer in time"},
  };
  for (const auto& [trouble, note] : cases) EXPECT_EQ(TroubleNote(trouble), note);
}

}  // namespace
}  // namespace host
