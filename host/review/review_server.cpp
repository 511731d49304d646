#include "review/review_server.h"

#include <httplib.h>

#include <chrono>
#include <thread>

#include "os/posix/random_name.h"
#include "output/json_writer.h"
#include "review/page_assets.h"
#include "review/request_rules.h"

namespace host {
namespace {

// A handful of threads is plenty for one person's page; a connection idle this long is closed.
constexpr std::size_t kThreads = 4;
constexpr time_t kIdleSeconds = 2;
constexpr time_t kReadWriteSeconds = 5;
// Requests: the page asks about once a second; a runaway script is held to this.
constexpr double kRequestsPerSecond = 50;
constexpr double kRequestBurst = 200;

void Answer(httplib::Response& res, int status, const std::string& body,
            const char* type = "application/json") {
  res.status = status;
  res.set_content(body, type);
}

// A refusal, said in plain text (a person may meet it in the address bar).
void Refuse(httplib::Response& res, int status, const std::string& why) {
  Answer(res, status, why + "\n", "text/plain; charset=utf-8");
}

// What a POST came to: {"ok": true} or {"ok": false, "error": WHY} (409: the board said no).
void AnswerPost(httplib::Response& res, const std::string& why) {
  JsonWriter json;
  json.BeginObject().Field("ok", why.empty()).FieldOrNull("error", why).EndObject();
  Answer(res, why.empty() ? 200 : 409, json.Text());
}

std::optional<Decision> DecisionNamed(const std::string& name) {
  if (name == "accept") return Decision::Accept;
  if (name == "skip") return Decision::Skip;
  if (name == "undecided") return Decision::Undecided;
  return std::nullopt;
}

double SecondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct ReviewServer::Running {
  httplib::Server server;
  std::thread listener;
  std::string token = RandomNamePart() + RandomNamePart();
  int port = 0;
  std::vector<std::string_view> assetNames;
  std::mutex budgetMutex;
  RequestBudget budget{kRequestsPerSecond, kRequestBurst};

  void Handle(ReviewBoard& board, const httplib::Request& req, httplib::Response& res);
  void Serve(ReviewBoard& board, const Routing& routing, const httplib::Request& req,
             httplib::Response& res);
};

void ReviewServer::Running::Handle(ReviewBoard& board, const httplib::Request& req,
                                   httplib::Response& res) {
  for (const auto& [name, value] : AnswerHeaders()) res.set_header(name, value);
  {
    const std::lock_guard lock(budgetMutex);
    if (!budget.Take(SecondsNow())) return Refuse(res, 429, "too many requests");
  }
  if (!IsOwnHost(req.get_header_value("Host"), port)) {
    return Refuse(res, 403, "this server answers only at 127.0.0.1:" + std::to_string(port));
  }
  const Routing routing = RouteRequest(req.method, req.path, token, assetNames);
  if (routing.Refused()) {
    static const std::map<int, std::string> kWhy = {
        {403, "forbidden: the address needs the review's token"},
        {404, "not found"},
        {405, "method not allowed"}};
    return Refuse(res, routing.status, kWhy.at(routing.status));
  }
  if (ChangesState(routing.route) &&
      (!TokenMatches(req.get_header_value(std::string(kTokenHeader)), token) ||
       !IsOwnOrigin(req.get_header_value("Origin"), port))) {
    return Refuse(res, 403, "forbidden: a change needs the review's token and page");
  }
  Serve(board, routing, req, res);
}

void ReviewServer::Running::Serve(ReviewBoard& board, const Routing& routing,
                                  const httplib::Request& req, httplib::Response& res) {
  const auto file = [&] { return FileNumber(req.get_param_value("file"), board.Count()); };
  switch (routing.route) {
    case Route::Page:
    case Route::Asset: {
      const std::string name = routing.route == Route::Page ? "index.html" : routing.asset;
      for (const PageAsset& asset : PageAssets()) {
        if (asset.name == name) {
          return Answer(res, 200, std::string(asset.bytes), ContentTypeOf(name).data());
        }
      }
      return Refuse(res, 404, "not found");
    }
    case Route::State: {
      const std::string since = req.get_param_value("since");
      const auto version = FileNumber(since.empty() ? "0" : since, 1000000000);
      if (!version) return Refuse(res, 400, "since: a version number");
      return Answer(res, 200, board.StateJson(*version));
    }
    case Route::Lyrics:
      if (const auto number = file()) return Answer(res, 200, board.LyricsJson(*number));
      return Refuse(res, 400, "file: a file's number");
    case Route::Decide: {
      const auto number = file();
      const auto decision = DecisionNamed(req.get_param_value("decision"));
      if (!number || !decision) return Refuse(res, 400, "file and decision, please");
      return AnswerPost(res, board.Decide(*number, *decision));
    }
    case Route::Search: {
      const auto number = file();
      const std::string artist = req.get_param_value("artist");
      const std::string title = req.get_param_value("title");
      if (!number) return Refuse(res, 400, "file: a file's number");
      if (const std::string why = NamesProblem(artist, title); !why.empty()) {
        return AnswerPost(res, why);
      }
      return AnswerPost(res, board.Post({ReviewJob::Kind::Search, *number, {artist, title}}));
    }
    case Route::Write:
      return AnswerPost(res, board.Post({ReviewJob::Kind::Write, 0, {}}));
    case Route::Finish:
      return AnswerPost(res, board.Post({ReviewJob::Kind::Finish, 0, {}}));
  }
}

ReviewServer::ReviewServer(ReviewBoard& board) : board_(board) {}

ReviewServer::~ReviewServer() { Stop(); }

bool ReviewServer::Start(std::string& error) {
  auto running = std::make_unique<Running>();
  Running& r = *running;
  for (const PageAsset& asset : PageAssets()) r.assetNames.push_back(asset.name);
  r.server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  r.server.set_payload_max_length(kMaxRequestBody);
  r.server.set_keep_alive_timeout(kIdleSeconds);
  r.server.set_read_timeout(kReadWriteSeconds);
  r.server.set_write_timeout(kReadWriteSeconds);
  const httplib::Server::Handler handler = [&r, this](const httplib::Request& req,
                                                      httplib::Response& res) {
    r.Handle(board_, req, res);
  };
  // Every method reaches the rules, so that each is answered by them (405), not by a default.
  r.server.Get(".*", handler).Post(".*", handler).Put(".*", handler).Patch(".*", handler);
  r.server.Delete(".*", handler).Options(".*", handler);
  r.port = r.server.bind_to_any_port("127.0.0.1");
  if (r.port <= 0) {
    error = "cannot listen on 127.0.0.1";
    return false;
  }
  r.listener = std::thread([&r] { r.server.listen_after_bind(); });
  running_ = std::move(running);
  // Answering before the address is told (and a Stop that comes at once finds it running).
  for (int waited = 0; !r.server.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (r.server.is_running()) return true;
  error = "the server on 127.0.0.1 did not start";
  return false;
}

std::string ReviewServer::Address() const {
  if (!running_) return {};
  return "http://127.0.0.1:" + std::to_string(running_->port) + "/" + running_->token + "/";
}

void ReviewServer::Stop() {
  if (!running_) return;
  running_->server.stop();
  if (running_->listener.joinable()) running_->listener.join();
  running_.reset();
}

}  // namespace host
