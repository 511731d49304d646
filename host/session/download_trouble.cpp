#include "session/download_trouble.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "os/plugin_log_facts.h"

namespace host {
namespace {

constexpr std::string_view kFailureMarker = "Download fails: ";
constexpr std::string_view kResponseMarker = ", Response: ";
constexpr std::string_view kErrorMarker = ", Error:";
// The downloader's own warning when a page is larger than it takes ("... body exceeds N bytes").
constexpr std::string_view kTooLargeMarker = " body exceeds ";

struct KnownError {
  std::uint32_t code;
  const char* what;
  bool noConnection;
};

// The error numbers the plug-in's downloads end with, found again by their system texts.
const KnownError kKnownErrors[] = {
    {12007, "the server's name could not be resolved", true},
    {12029, "no connection could be made", true},
    {12002, "the server did not answer in time", false},
    {12030, "the connection was cut off", false},
    {12152, "the answer was not HTTP", false},
    {12156, "too many redirects, or a redirect that could not be followed", false},
};

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// "32 MiB" for a whole number of MiB, else the bytes.
std::string SizeText(unsigned long long bytes) {
  constexpr unsigned long long kMiB = 1024 * 1024;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

std::optional<KnownError> ErrorByText(const std::string& text) {
  if (text.empty()) return std::nullopt;
  for (const KnownError& known : kKnownErrors) {
    if (DownloadErrorText(known.code) == text) return known;
  }
  return std::nullopt;
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The standard texts of 429 and 503.
bool AsksToWait(std::string_view status) {
  return SameLetters(status, "Too Many Requests") || SameLetters(status, "Service Unavailable");
}

// The response and error parts, found from the end: the URL before them may hold anything.
DownloadTrouble FromFailureLine(std::string_view line, const std::string& tooLarge) {
  const auto error = line.rfind(kErrorMarker);
  const auto response = error == std::string_view::npos ? error : line.rfind(kResponseMarker, error);
  if (response == std::string_view::npos) return {};
  const std::string status =
      Trimmed(line.substr(response + kResponseMarker.size(),
                          error - response - kResponseMarker.size()));
  const std::string errorText = Trimmed(line.substr(error + kErrorMarker.size()));
  if (!tooLarge.empty()) {
    return {"the page is larger than the " + tooLarge + " a download may take", false,
            !status.empty()};
  }
  if (const auto known = ErrorByText(errorText)) return {known->what, known->noConnection};
  if (!status.empty()) {
    return {"the server answered \xE2\x80\x9C" + status + "\xE2\x80\x9D", false, true,
            AsksToWait(status)};
  }
  return {UnexplainedDownloadError(errorText), false};
}

}  // namespace

DownloadTrouble ReadDownloadTrouble(const std::vector<std::string>& lines) {
  DownloadTrouble trouble;
  std::string tooLarge;  // the limit named by a body-limit warning since the last failure line
  for (const std::string& line : lines) {
    if (const auto at = line.find(kTooLargeMarker); at != std::string::npos) {
      tooLarge = SizeText(std::strtoull(line.c_str() + at + kTooLargeMarker.size(), nullptr, 10));
    } else if (const auto at = line.find(kFailureMarker); at != std::string::npos) {
      trouble = FromFailureLine(std::string_view(line).substr(at), tooLarge);
      tooLarge.clear();
    }
  }
  return trouble;
}

std::string TroubleNote(const DownloadTrouble& trouble) {
  const std::string hint = " (is the site reachable? see --proxy)";
  if (trouble.what.empty()) return hint;
  return ": " + trouble.what + (trouble.noConnection ? hint : "");
}

}  // namespace host
