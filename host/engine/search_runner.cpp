#include "engine/search_runner.h"

#include <memory>

#include "engine/bounded_call.h"
#include "session/cancel_switch.h"
#include "session/host_song_list.h"
#include "os/utf.h"

namespace host {
namespace {

FoundSong FactsOf(const SongEntry& entry) {
  return {ToUtf8(entry.title), ToUtf8(entry.artist), ToUtf8(entry.url), ToUtf8(entry.sourceName),
          ToUtf8(entry.sourceId)};
}

// Each runner makes its plug-in calls, fills the report and says whether it found something.
bool FindArtist(CLyricsDllInterface& plugin, const std::vector<std::string>& args,
                SearchReport& report) {
  WString url;
  if (!plugin.FindArtist(FromUtf8(args[0]), url) || url.empty()) return false;
  report.artistUrl = ToUtf8(url);
  return true;
}

bool FindSongs(CLyricsDllInterface& plugin, const std::vector<std::string>& args,
               SearchReport& report) {
  HostSongList list;
  if (plugin.FindArtistSongList(FromUtf8(args[0]), &list) <= 0) return false;
  for (const SongEntry& entry : list.Entries()) report.songs.push_back(FactsOf(entry));
  return !report.songs.empty();
}

bool FindSong(CLyricsDllInterface& plugin, const std::vector<std::string>& args,
              SearchReport& report) {
  HostSongList list;
  if (plugin.FindSong(FromUtf8(args[0]), FromUtf8(args[1]), &list, 0) == 0) return false;
  if (list.Entries().empty()) return false;
  report.song = FactsOf(list.Entries().back());
  return true;
}

bool GetLyrics(CLyricsDllInterface& plugin, const std::string& url, SearchReport& report) {
  WString lyrics;
  if (!plugin.GetLyrics(FromUtf8(url), lyrics) || lyrics.empty()) return false;
  report.lyrics = ToUtf8(lyrics);
  return true;
}

bool FindLyrics(CLyricsDllInterface& plugin, const std::vector<std::string>& args,
                SearchReport& report) {
  return GetLyrics(plugin, args[0], report);
}

bool FindSongLyrics(CLyricsDllInterface& plugin, const std::vector<std::string>& args,
                    SearchReport& report) {
  if (!FindSong(plugin, args, report) || CancelSwitch::Cancelled()) return false;
  return GetLyrics(plugin, report.song->url, report);
}

struct SearchCommand {
  std::string_view name;
  std::vector<std::string_view> argumentNames;
  bool (*run)(CLyricsDllInterface&, const std::vector<std::string>&, SearchReport&);
};

const SearchCommand kSearches[] = {
    {"artist", {"artist"}, FindArtist},           {"songs", {"artist"}, FindSongs},
    {"song", {"artist", "title"}, FindSong},      {"lyrics", {"url"}, FindLyrics},
    {"get", {"artist", "title"}, FindSongLyrics},
};

}  // namespace

SearchReport RunSearch(PluginSession& session, const std::string& command,
                       const std::vector<std::string>& arguments) {
  SearchReport report;
  report.command = command;
  const DownloadStatistics before = session.Statistics();
  bool found = false;
  for (const SearchCommand& search : kSearches) {
    if (search.name != command || arguments.size() != search.argumentNames.size()) continue;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      report.query.emplace_back(search.argumentNames[i], arguments[i]);
    }
    if (CancelSwitch::Cancelled()) break;
    // The call fills a report of its own: one abandoned at the deadline may still write to it.
    auto filled = std::make_shared<SearchReport>(report);
    auto hit = std::make_shared<bool>(false);
    CLyricsDllInterface* plugin = &session.Plugin();
    const auto run = search.run;
    const CallEnd end = CallWithinDeadline(
        [filled, hit, plugin, run, arguments] { *hit = run(*plugin, arguments, *filled); });
    if (end == CallEnd::Abandoned) {
      session.Abandon();
      report.statistics = before;
      report.outcome = Outcome::TimedOut;
      return report;
    }
    found = *hit;
    report = std::move(*filled);
  }
  report.statistics = session.Statistics();
  report.outcome = Classify(found, before, report.statistics);
  DownloadTrouble trouble = session.TakeDownloadTrouble();
  if (report.outcome == Outcome::DownloadFailed) report.trouble = std::move(trouble);
  return report;
}

}  // namespace host
