// The review server's rules, as pure functions: which requests it answers, and how. The page is
// for the person at this machine alone, so a request must come to 127.0.0.1 under the name this
// server printed (a Host of any other name is a page elsewhere whose name was pointed here: DNS
// rebinding), carry the run's random token in its path, and, when it changes anything, be a POST
// that carries the token in a header too (which no page of another origin can send without
// asking first, and this server never agrees) from no other origin. Files are named by their
// number in the run, never by a path. Pure; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

// Limits of one request: its body and the texts a search again takes.
constexpr std::size_t kMaxRequestBody = 16 * 1024;
constexpr std::size_t kMaxNameBytes = 300;

// The header a state-changing request carries its token in.
constexpr std::string_view kTokenHeader = "X-Tunewell-Token";

// Whether a Host header names this server: "127.0.0.1:PORT" or "localhost:PORT" (the name's
// case aside).
bool IsOwnHost(std::string_view host, int port);
// Whether an Origin header allows a change: none sent, or this server's own
// ("http://127.0.0.1:PORT", "http://localhost:PORT").
bool IsOwnOrigin(std::string_view origin, int port);
// The token compared in a time that does not tell how much of it was right; an empty token
// matches nothing.
bool TokenMatches(std::string_view given, std::string_view token);

enum class Route {
  Page,     // GET /TOKEN/
  Asset,    // GET /TOKEN/NAME, NAME one of the page's files
  State,    // GET /TOKEN/api/state?since=N: the files changed since version N, the counts
  Lyrics,   // GET /TOKEN/api/lyrics?file=I: one file's lyrics, whole
  Decide,   // POST /TOKEN/api/decide file=I&decision=accept|skip|undecided
  Search,   // POST /TOKEN/api/search file=I&artist=A&title=T
  Write,    // POST /TOKEN/api/write: store every accepted file's lyrics
  Finish,   // POST /TOKEN/api/finish: end the review
};

// How a request is answered: its route, or the refusal's HTTP status (403 without the token,
// 404 for a path the server does not have, 405 for the wrong method).
struct Routing {
  int status = 200;
  Route route = Route::Page;
  std::string asset;  // for Asset: the file's name

  bool Refused() const { return status != 200; }
};

// `assets`: the names of the page's files (the page itself, "index.html", is served as "/").
Routing RouteRequest(std::string_view method, std::string_view path, std::string_view token,
                     const std::vector<std::string_view>& assets);

// A route that changes something (a POST): its token header and origin must pass too.
bool ChangesState(Route route);

// A file's number from a request: decimal digits alone, below `count`.
std::optional<std::size_t> FileNumber(std::string_view text, std::size_t count);

// The names of a search again: each not blank, at most kMaxNameBytes, UTF-8 without control
// characters. Empty when they may be searched, else why not.
std::string NamesProblem(std::string_view artist, std::string_view title);

// A budget of requests: a bucket of `burst` requests refilled at `perSecond`; a request that
// finds it empty is refused (429) rather than let a runaway client or page hog the run.
class RequestBudget {
 public:
  RequestBudget(double perSecond, double burst);
  // Takes one request at `nowSeconds` (any clock that does not go back); false when none is
  // left.
  bool Take(double nowSeconds);

 private:
  double perSecond_;
  double burst_;
  double left_;
  std::optional<double> last_;
};

// The content type of one of the page's files, by its extension.
std::string_view ContentTypeOf(std::string_view name);

// The headers of every answer: no caching, no sniffing, no framing, no referrer, and a content
// security policy that lets the page run its own script and style files and nothing else.
const std::vector<std::pair<std::string, std::string>>& AnswerHeaders();

}  // namespace host
