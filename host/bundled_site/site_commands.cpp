// site and demo: the bundled lyrics site in the foreground, and one song fetched through it.
#include "bundled_site/site_commands.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "bundled_site/corpus_sample.h"

#include "engine/session_settings.h"
#include "os/default_paths.h"
#include "os/site_launcher.h"
#include "session/cancel_switch.h"
#include "engine/outcome.h"
#include "engine/search_runner.h"

#ifndef TUNEWELL_SITE_HOST_NAME
#error "the build names the lyrics site's host (TUNEWELL_SITE_HOST_NAME)"
#endif

namespace host {
namespace {

constexpr const char* kSiteHost = TUNEWELL_SITE_HOST_NAME;

void Say(const std::string& text) {
  std::fprintf(stderr, "tunewell: %s\n", text.c_str());
  std::fflush(stderr);
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// A shell word for the hint lines: single quotes unless the text is plain.
std::string ShellWord(const std::string& text) {
  if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789-_./:") == std::string::npos) {
    return text;
  }
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// kExitFound once the site is up; else, with the reason said, kExitNotFound when the site
// itself refused (a port in use) and kExitUsage when it cannot be found or run.
int StartSite(SiteLauncher& site, int port, std::string& siteFolder) {
  std::string error;
  if (!FindSiteFolder(siteFolder, error) || !site.Start(siteFolder, kSiteHost, port, error)) {
    Say(error);
    return site.SiteRefused() ? kExitNotFound : kExitUsage;
  }
  return kExitFound;
}

std::string ProxyOf(const SiteLauncher& site) { return "127.0.0.1:" + std::to_string(site.Port()); }

}  // namespace

int RunSiteCommand(const Options& options) {
  SiteLauncher site;
  std::string folder;
  if (const int status = StartSite(site, options.port.value_or(0), folder); status != kExitFound) {
    return status;
  }
  Say("the bundled lyrics site for " + std::string(kSiteHost) + " is up on " + ProxyOf(site) +
      " (Ctrl-C stops it); try:");
  Say("  tunewell --proxy " + ProxyOf(site) + " songs 'The Lanterns'");
  Print(ProxyOf(site) + "\n");
  while (CancelSwitch::SleepUnlessCancelled(std::chrono::milliseconds(200))) {
    if (site.Exited()) {
      Say("the site stopped by itself");
      return kExitNotFound;
    }
  }
  site.Stop();
  Say("site stopped");
  // Ctrl-C is how a person ends the site; a --timeout ending it is a time-out, as elsewhere.
  return CancelSwitch::WhyCancelled() == CancelSwitch::Reason::TimedOut ? kExitNotFound
                                                                         : kExitFound;
}

int RunDemoCommand(const Options& options) {
  SiteLauncher site;
  std::string folder, error;
  CorpusSong song;
  if (const int status = StartSite(site, 0, folder); status != kExitFound) return status;
  if (!ReadSampleSong(folder, song, error)) {
    Say(error);
    return kExitUsage;
  }
  Say("started the bundled lyrics site for " + std::string(kSiteHost) + " on " + ProxyOf(site) +
      " from " + folder);
  Say("tunewell --proxy " + ProxyOf(site) + " get " + ShellWord(song.artist) + " " +
      ShellWord(song.title));

  SessionSettings settings = SessionSettingsFrom(options);
  settings.proxy = ProxyOf(site);
  PluginSession session;
  if (!session.Open(settings, error)) {
    Say(error);
    return kExitUsage;
  }
  const SearchReport report = RunSearch(session, "get", {song.artist, song.title});
  session.Close();
  site.Stop();

  Print(options.json ? RenderJson(report, options.raw) : RenderText(report, options.raw));
  const std::string miss = RenderMiss(report, options.timeoutSeconds.value_or(0));
  if (!miss.empty()) std::fputs(miss.c_str(), stderr);
  if (report.lyrics) {
    Say(*report.lyrics == song.lyrics ? "the lyrics match the site's corpus"
                                      : "the lyrics differ from the site's corpus");
  }
  if (options.stats) std::fputs(RenderStatistics(report.statistics).c_str(), stderr);
  Say("stopped the site");
  return ExitStatusFor(report.outcome);
}

}  // namespace host
