#include "review/request_rules.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host {
namespace {

constexpr std::string_view kToken = "Tok3nTok3nTok3n";
const std::vector<std::string_view> kAssets = {"index.html", "review.js", "review.css"};

// Which requests are answered, and by what: the token first (nothing, not even whether a path
// exists, is told without it), then the path, then the method.
TEST(RequestRules, RoutesOnlyTheTokensOwnPathsByTheirMethod) {
  struct Case {
    const char* method;
    std::string path;
    int status;
    Route route;
    const char* asset;
  };
  const std::string t = "/" + std::string(kToken) + "/";
  const Case cases[] = {
      {"GET", t, 200, Route::Page, ""},
      {"HEAD", t, 200, Route::Page, ""},
      {"GET", t + "review.js", 200, Route::Asset, "review.js"},
      {"GET", t + "api/state", 200, Route::State, ""},
      {"GET", t + "api/lyrics", 200, Route::Lyrics, ""},
      {"POST", t + "api/decide", 200, Route::Decide, ""},
      {"POST", t + "api/search", 200, Route::Search, ""},
      {"POST", t + "api/write", 200, Route::Write, ""},
      {"POST", t + "api/finish", 200, Route::Finish, ""},
      // A change never by GET (a link or an image could make it), a read never by POST.
      {"GET", t + "api/write", 405, Route::Write, ""},
      {"GET", t + "api/decide", 405, Route::Decide, ""},
      {"PUT", t + "api/write", 405, Route::Write, ""},
      {"POST", t + "api/state", 405, Route::State, ""},
      {"POST", t, 405, Route::Page, ""},
      {"DELETE", t + "review.js", 405, Route::Asset, ""},
      // Only the page's own files, each under one name.
      {"GET", t + "index.html", 404, Route::Page, ""},
      {"GET", t + "../review.js", 404, Route::Page, ""},
      {"GET", t + "review.js/", 404, Route::Page, ""},
      {"GET", t + "etc/passwd", 404, Route::Page, ""},
      {"GET", t + "api/", 404, Route::Page, ""},
      {"GET", t + "api/state/", 404, Route::Page, ""},
      {"GET", t + "api/State", 404, Route::Page, ""},
      // Without the whole token, exactly, nothing.
      {"GET", "/", 403, Route::Page, ""},
      {"GET", "", 403, Route::Page, ""},
      {"GET", "/" + std::string(kToken), 403, Route::Page, ""},
      {"GET", "/" + std::string(kToken) + "x/", 403, Route::Page, ""},
      {"GET", "/" + std::string(kToken.substr(1)) + "/", 403, Route::Page, ""},
      {"GET", "/tok3ntok3ntok3n/", 403, Route::Page, ""},
      {"GET", "/review.js", 403, Route::Page, ""},
      {"POST", "/api/write", 403, Route::Page, ""},
      {"GET", "//" + std::string(kToken) + "/", 403, Route::Page, ""},
      {"GET", "/x/" + std::string(kToken) + "/", 403, Route::Page, ""},
  };
  for (const Case& c : cases) {
    const Routing routing = RouteRequest(c.method, c.path, kToken, kAssets);
    EXPECT_EQ(routing.status, c.status) << c.method << " " << c.path;
    if (routing.status == 200 || routing.status == 405) {
      EXPECT_EQ(routing.route, c.route) << c.method << " " << c.path;
    }
    if (routing.status == 200) {
      EXPECT_EQ(routing.asset, c.asset) << c.path;
    }
  }
  // An empty token opens nothing, the bare slash included.
  EXPECT_EQ(RouteRequest("GET", "//", "", kAssets).status, 403);
}

// The Host header names this server as printed; a page elsewhere whose name was pointed at
// 127.0.0.1 (DNS rebinding) sends its own name. A change may come from no other origin.
TEST(RequestRules, HostAndOriginMustNameThisServer) {
  struct Case {
    const char* value;
    bool host, origin;
  };
  const Case cases[] = {
      {"127.0.0.1:4321", true, false},
      {"localhost:4321", true, false},
      {"LocalHost:4321", true, false},
      {"http://127.0.0.1:4321", false, true},
      {"http://localhost:4321", false, true},
      {"", false, true},  // no Origin: not sent by a browser for its own same-origin GET
      {"127.0.0.1:4322", false, false},
      {"127.0.0.1:43210", false, false},
      {"127.0.0.1", false, false},
      {"127.0.0.1:", false, false},
      {"evil.example:4321", false, false},
      {"127.0.0.1.evil.example:4321", false, false},
      {"evil.example:80@127.0.0.1:4321", false, false},
      {"localhost.:4321", false, false},
      {"[::1]:4321", false, false},
      {"127.0.0.2:4321", false, false},
      {"http://evil.example:4321", false, false},
      {"https://127.0.0.1:4321", false, false},
      {"http://127.0.0.1:4322", false, false},
      {"null", false, false},
      {"http://127.0.0.1:4321/", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsOwnHost(c.value, 4321), c.host) << "Host: " << c.value;
    if (*c.value != 0) {
      EXPECT_EQ(IsOwnOrigin(c.value, 4321), c.origin) << "Origin: " << c.value;
    }
  }
  EXPECT_TRUE(IsOwnOrigin("", 4321));
  EXPECT_FALSE(IsOwnHost("", 4321));
}

TEST(RequestRules, TheTokenMatchesWholeAndNeverEmpty) {
  EXPECT_TRUE(TokenMatches(kToken, kToken));
  for (const std::string_view given : {std::string_view(""), kToken.substr(0, 14),
                                       std::string_view("Tok3nTok3nTok3nX"),
                                       std::string_view("Tok3nTok3nTok3N")}) {
    EXPECT_FALSE(TokenMatches(given, kToken)) << given;
  }
  EXPECT_FALSE(TokenMatches("", ""));
}

// The limits of what a request may name: a file by its number in the run, never more than
// there are; names of a search again as short text.
TEST(RequestRules, FileNumbersAndNamesWithinLimits) {
  struct Number {
    const char* text;
    std::optional<std::size_t> number;
  };
  const Number numbers[] = {
      {"0", 0},          {"2", 2},           {"002", 2},        {"3", std::nullopt},
      {"", std::nullopt}, {"-1", std::nullopt}, {"+1", std::nullopt}, {" 1", std::nullopt},
      {"1 ", std::nullopt}, {"0x1", std::nullopt}, {"1e0", std::nullopt},
      {"18446744073709551617", std::nullopt}, {"4294967296", std::nullopt},
  };
  for (const Number& n : numbers) EXPECT_EQ(FileNumber(n.text, 3), n.number) << n.text;

  struct Names {
    std::string artist, title;
    const char* problem;  // a part of it; "" when they may be searched
  };
  const std::string longest(kMaxNameBytes, 'a');
  const Names names[] = {
      {"The Lanterns", "Paper Moons", ""},
      {"Sigur Rós", "Ágætis byrjun", ""},
      {longest, "t", ""},
      {longest + "a", "t", "artist is too long"},
      {"a", longest + "é", "title is too long"},
      {"", "t", "artist is empty"},
      {" \t ", "t", "artist is empty"},
      {"a", "", "title is empty"},
      {"a\nb", "t", "artist holds characters that are not text"},
      {"a", "t\x7F", "title holds characters that are not text"},
      {"a", std::string("t\0u", 3), "title holds characters that are not text"},
      {"a\xC3", "t", "artist holds characters that are not text"},
      {"a", "\xED\xA0\x80", "title holds characters that are not text"},
  };
  for (const Names& n : names) {
    const std::string problem = NamesProblem(n.artist, n.title);
    if (*n.problem == '\0') {
      EXPECT_EQ(problem, "") << n.artist << " / " << n.title;
    } else {
      EXPECT_NE(problem.find(n.problem), std::string::npos) << n.problem << ", got: " << problem;
    }
  }
}

// A bucket of requests: a burst at once, then the rate; an idle time fills it no fuller than
// the burst; a clock read twice at one time gives nothing more.
TEST(RequestRules, RequestBudgetAllowsABurstThenTheRate) {
  struct Step {
    double at;
    bool taken;
  };
  const Step steps[] = {
      {0, true},   {0, true},   {0, true},   {0, false},  {0.25, false}, {0.5, true},
      {0.5, false}, {1.0, true}, {100, true}, {100, true}, {100, true},  {100, false},
  };
  RequestBudget budget(2, 3);
  for (const Step& step : steps) EXPECT_EQ(budget.Take(step.at), step.taken) << step.at;
}

TEST(RequestRules, EachAssetHasItsTypeAndAnswersForbidFraming) {
  const std::pair<const char*, const char*> types[] = {
      {"index.html", "text/html; charset=utf-8"},   {"review.css", "text/css; charset=utf-8"},
      {"review.js", "text/javascript; charset=utf-8"}, {"icon.svg", "image/svg+xml"},
      {"review.js.map", "application/octet-stream"}, {"html", "application/octet-stream"},
  };
  for (const auto& [name, type] : types) EXPECT_EQ(ContentTypeOf(name), type) << name;
  std::map<std::string, std::string> headers(AnswerHeaders().begin(), AnswerHeaders().end());
  EXPECT_NE(headers["Content-Security-Policy"].find("script-src 'self'"), std::string::npos);
  EXPECT_EQ(headers["Content-Security-Policy"].find("unsafe-inline"), std::string::npos);
  EXPECT_NE(headers["Content-Security-Policy"].find("frame-ancestors 'none'"), std::string::npos);
  EXPECT_EQ(headers["X-Content-Type-Options"], "nosniff");
}

}  // namespace
}  // namespace host
