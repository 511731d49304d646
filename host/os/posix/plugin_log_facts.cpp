#include "os/plugin_log_facts.h"

namespace host {

// The plug-in's POSIX build gives the English texts of the Windows numbers it raises; only the
// ones that explain a download are needed here.
std::string DownloadErrorText(std::uint32_t code) {
  struct Entry {
    std::uint32_t code;
    const char* text;
  };
  static const Entry kTexts[] = {
      {12002, "The operation timed out"},
      {12007, "The server name or address could not be resolved"},
      {12029, "A connection with the server could not be established"},
      {12030, "The connection with the server was terminated abnormally"},
      {12152, "The server returned an invalid or unrecognized response"},
      {12156, "The HTTP redirect request failed"},
  };
  for (const Entry& entry : kTexts) {
    if (entry.code == code) return entry.text;
  }
  return {};
}

}  // namespace host

namespace host {

std::string UnexplainedDownloadError(const std::string& text) {
  if (text.empty()) return {};  // nothing told: the caller hints at the proxy
  return "the download failed, and the plug-in gave no reason that means anything here";
}

}  // namespace host
