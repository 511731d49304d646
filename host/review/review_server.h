// The review page's web server: cpp-httplib on 127.0.0.1, at a port the system chooses, with a
// random token in every address (review/request_rules.h says what it answers). It serves the
// page's files built into the binary and the board's views, and posts the page's decisions and
// jobs to the board; it never touches the plug-in or a music file itself. A few threads of its
// own answer requests; Start and Stop are called from the run's thread.
#pragma once

#include <memory>
#include <string>

#include "review/review_board.h"

namespace host {

class ReviewServer {
 public:
  explicit ReviewServer(ReviewBoard& board);
  ~ReviewServer();  // stops it
  ReviewServer(const ReviewServer&) = delete;
  ReviewServer& operator=(const ReviewServer&) = delete;

  // Listens, and answers from then on. False with the reason when it cannot.
  bool Start(std::string& error);
  // "http://127.0.0.1:PORT/TOKEN/": the page, and the key to everything else.
  std::string Address() const;
  // Stops listening and waits for the answers under way.
  void Stop();

 private:
  struct Running;
  std::unique_ptr<Running> running_;
  ReviewBoard& board_;
};

}  // namespace host
