// Why a download failed, in the user's words. The plug-in gives the host only counts; the one
// place it says why is its trace log (level Warning): "Download fails: URL, Proxy: P,
// Response: STATUS, Error:TEXT", after a line of its own when a body was over its limit. The
// host reads those lines back (session/trace_log_tail.h) and turns them into a short reason,
// and tells whether no connection could be made at all, the one case where the --proxy hint
// helps. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

namespace host {

struct DownloadTrouble {
  std::string what;           // "the server answered “Not Found”"; empty: the log told nothing
  bool noConnection = false;  // the server (or the proxy) could not be reached
  bool answered = false;      // the server answered, with a status that refused the page
  // The status was one a site sends to be left alone for a while: "Too Many Requests" (429) or
  // "Service Unavailable" (503). The log holds only the status text (no code, no header), so
  // these are known by their standard texts, and the Retry-After a site sends is never seen.
  bool askedToWait = false;
};

// The reason for the last failed download among the plug-in's log lines of one search.
DownloadTrouble ReadDownloadTrouble(const std::vector<std::string>& lines);

// What follows "download failed" for the user: ": REASON", with " (is the site reachable? see
// --proxy)" when no connection could be made or the log told nothing.
std::string TroubleNote(const DownloadTrouble& trouble);

}  // namespace host
