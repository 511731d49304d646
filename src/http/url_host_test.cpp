#include "http/url_host.h"

#include <gtest/gtest.h>

#include "platform/system_error.h"
#include "support/trace_capture.h"

namespace {

TEST(EnsureScheme, AddsTheSchemeOnlyWithoutASeparator) {
  struct Case {
    WString address, result;
  };
  const Case cases[] = {
      {u"host/x", u"http://host/x"},
      {u"http://host/x", u"http://host/x"},
      {u"ftp://host", u"ftp://host"},
      {u"host/redirect?to=http://other", u"host/redirect?to=http://other"},
      {u"", u"http://"},
  };
  for (const auto& c : cases) EXPECT_EQ(http::EnsureScheme(c.address, u"http"), c.result);
}

TEST(UrlGetHost, BareHostNameOfAnAbsoluteAddress) {
  struct Case {
    WString address, host;
  };
  const Case cases[] = {
      {u"http://lyrics.example/song.php?id=1", u"lyrics.example"},
      {u"http://user:pw@lyrics.example:8080/a/b", u"lyrics.example"},
      {u"http://lyr%69cs.example/", u"lyrics.example"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(http::UrlGetHost(c.address), c.host);
}

TEST(UrlGetHost, FailureIsLoggedAndGivesEmptyText) {
  testing_support::TraceCapture trace;
  EXPECT_EQ(http::UrlGetHost(u"lyrics.example/no-scheme"), u"");
  // The system's own text of the error (Wine's message tables word it differently).
  EXPECT_TRUE(trace.HasLine(u"UrlGetHost: InternetCrackUrl  GetLastError():12006, " +
                            platform::ErrorText(12006)));
}

}  // namespace
