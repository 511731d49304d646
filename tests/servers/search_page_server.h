// SearchPageServer: search_page_server.py (beside this file) on a free port of 127.0.0.1,
// serving pages the test writes, for the search engine's tests. Serve() files a page under the
// request target the plug-in is expected to send (path and query exactly as they go on the
// wire); Requests() reads back what the server was asked, in order. The process starts in the
// constructor and ends in the destructor. Header-only, for the test executables; one test
// thread at a time.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "servers/server_process.h"
#include "support/temp_dir.h"

namespace test_servers {

struct PageRequest {
  std::string target;     // as it arrived: "http://host/path?query" in proxy form
  bool proxyForm = false;
  std::string host;       // the Host header
  std::string userAgent;
  int status = 0;
};

class SearchPageServer {
 public:
  SearchPageServer()
      : process_({"python3", TUNEWELL_SOURCE_DIR "/tests/servers/search_page_server.py",
                  "--pages", pages_.path(), "--log", logs_.File("requests.log")}) {
    const std::string line = process_.ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("page server did not start");
    port_ = std::stoi(line.substr(5));
  }

  int port() const { return port_; }
  // What the host answers for "HttpProxy".
  std::u16string Proxy() const {
    const std::string text = "127.0.0.1:" + std::to_string(port_);
    return std::u16string(text.begin(), text.end());
  }

  // Answers pathAndQuery (e.g. "/search.php?search=Abba&category=artist") with these bytes,
  // which the plug-in reads as ISO 8859-1. Replaces an earlier page for the same target.
  void Serve(const std::string& pathAndQuery, const std::string& bytes) {
    std::ofstream(pages_.File(QueryEscape(pathAndQuery)), std::ios::binary) << bytes;
  }
  // Stops answering pathAndQuery (404 from now on).
  void Withdraw(const std::string& pathAndQuery) {
    std::remove(pages_.File(QueryEscape(pathAndQuery)).c_str());
  }

  std::vector<PageRequest> Requests() const {
    std::vector<PageRequest> requests;
    std::istringstream log(testing_support::ReadFileBytes(logs_.File("requests.log")));
    for (std::string line; std::getline(log, line);) {
      std::vector<std::string> fields;
      std::istringstream parts(line);
      for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
      if (fields.size() != 5) continue;
      requests.push_back({fields[0], fields[1] == "proxy", fields[2], fields[3],
                          std::stoi(fields[4])});
    }
    return requests;
  }
  // The targets asked for, in order.
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const PageRequest& request : Requests()) targets.push_back(request.target);
    return targets;
  }

 private:
  testing_support::TempDir pages_;
  testing_support::TempDir logs_;
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace test_servers
