#include "review/request_rules.h"

#include <algorithm>

#include "os/utf.h"

namespace host {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// "NAME:PORT" with NAME this machine's loopback as printed (or localhost) and PORT the port.
bool IsOwnAuthority(std::string_view authority, int port) {
  const std::string portText = ":" + std::to_string(port);
  if (!authority.ends_with(portText)) return false;
  const std::string_view name = authority.substr(0, authority.size() - portText.size());
  return name == "127.0.0.1" || EqualsIgnoringCase(name, "localhost");
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

struct ApiRow {
  std::string_view name;
  Route route;
};

constexpr ApiRow kApi[] = {
    {"state", Route::State},   {"lyrics", Route::Lyrics}, {"decide", Route::Decide},
    {"search", Route::Search}, {"write", Route::Write},   {"finish", Route::Finish},
};

}  // namespace

bool IsOwnHost(std::string_view host, int port) { return IsOwnAuthority(host, port); }

bool IsOwnOrigin(std::string_view origin, int port) {
  if (origin.empty()) return true;
  constexpr std::string_view kScheme = "http://";
  return origin.starts_with(kScheme) && IsOwnAuthority(origin.substr(kScheme.size()), port);
}

bool TokenMatches(std::string_view given, std::string_view token) {
  if (token.empty() || given.size() != token.size()) return false;
  unsigned char differ = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    differ |= static_cast<unsigned char>(given[i] ^ token[i]);
  }
  return differ == 0;
}

bool ChangesState(Route route) {
  return route == Route::Decide || route == Route::Search || route == Route::Write ||
         route == Route::Finish;
}

Routing RouteRequest(std::string_view method, std::string_view path, std::string_view token,
                     const std::vector<std::string_view>& assets) {
  Routing routing;
  // The token first: without it nothing, not even whether a path exists, is told.
  if (!path.starts_with("/") || path.size() < token.size() + 2 ||
      !TokenMatches(path.substr(1, token.size()), token) || path[token.size() + 1] != '/') {
    routing.status = 403;
    return routing;
  }
  const std::string_view rest = path.substr(token.size() + 2);
  bool found = false;
  if (rest.empty()) {
    routing.route = Route::Page;
    found = true;
  } else if (rest.starts_with("api/")) {
    for (const ApiRow& row : kApi) {
      if (rest.substr(4) == row.name) {
        routing.route = row.route;
        found = true;
      }
    }
  } else if (rest != "index.html" &&
             std::find(assets.begin(), assets.end(), rest) != assets.end()) {
    routing.route = Route::Asset;
    routing.asset = std::string(rest);
    found = true;
  }
  if (!found) {
    routing.status = 404;
    return routing;
  }
  const bool read = method == "GET" || method == "HEAD";
  if (ChangesState(routing.route) ? method != "POST" : !read) routing.status = 405;
  return routing;
}

std::optional<std::size_t> FileNumber(std::string_view text, std::size_t count) {
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::size_t number = 0;
  for (const char c : text) number = number * 10 + static_cast<std::size_t>(c - '0');
  if (number >= count) return std::nullopt;
  return number;
}

std::string NamesProblem(std::string_view artist, std::string_view title) {
  for (const auto& [what, text] : {std::pair{"artist", artist}, std::pair{"title", title}}) {
    const std::string name(what);
    if (IsBlank(text)) return "the " + name + " is empty";
    if (text.size() > kMaxNameBytes) return "the " + name + " is too long";
    if (!IsUtf8(std::string(text)) || HasControl(text)) {
      return "the " + name + " holds characters that are not text";
    }
  }
  return {};
}

RequestBudget::RequestBudget(double perSecond, double burst)
    : perSecond_(perSecond), burst_(burst), left_(burst) {}

bool RequestBudget::Take(double nowSeconds) {
  if (last_) left_ = std::min(burst_, left_ + (nowSeconds - *last_) * perSecond_);
  last_ = nowSeconds;
  if (left_ < 1) return false;
  left_ -= 1;
  return true;
}

std::string_view ContentTypeOf(std::string_view name) {
  struct Row {
    std::string_view extension, type;
  };
  constexpr Row kTypes[] = {
      {".html", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
  };
  for (const Row& row : kTypes) {
    if (name.ends_with(row.extension)) return row.type;
  }
  return "application/octet-stream";
}

const std::vector<std::pair<std::string, std::string>>& AnswerHeaders() {
  static const std::vector<std::pair<std::string, std::string>> headers = {
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
       "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Referrer-Policy", "no-referrer"},
      {"Cache-Control", "no-store"},
      {"Cross-Origin-Resource-Policy", "same-origin"},
  };
  return headers;
}

}  // namespace host
