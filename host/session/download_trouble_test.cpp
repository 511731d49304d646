#include "session/download_trouble.h"

#include <gtest/gtest.h>

namespace host {
namespace {

// The plug-in's warning lines, read back into what the user is told. The server's own words
// are kept (the terminal escapes them when printed), the system's texts for errors that mean
// nothing here are not passed on, and a failure is never told as success.
TEST(DownloadTrouble, TheLastFailureLineSaysWhatHappened) {
  const std::string line = "Download fails: http://lyrics.example/x, Proxy: , Response: ";
  struct Case {
    std::vector<std::string> lines;
    std::string what;
  };
  const Case cases[] = {
      {{line + "404 Not Found, Error:"}, "the server answered \xE2\x80\x9C" "404 Not Found\xE2\x80\x9D"},
      {{line + "200 \x1B]0;owned\x07, Error:"},
       "the server answered \xE2\x80\x9C" "200 \x1B]0;owned\x07\xE2\x80\x9D"},
#ifndef _WIN32
      {{line + ", Error:An internal error occurred in the Microsoft Internet extensions"},
       "the download failed, and the plug-in gave no reason that means anything here"},
      {{line + ", Error:The operation completed successfully."},
       "the download failed, and the plug-in gave no reason that means anything here"},
      {{line + ", Error:The operation timed out", "some later line"},
       "the server did not answer in time"},
#endif
      {{}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadDownloadTrouble(c.lines).what, c.what) << (c.lines.empty() ? "" : c.lines[0]);
  }
}

}  // namespace
}  // namespace host
