// info, the searches and the batch: open a session, run, print, close.
#include "searches/search_commands.h"

#include <cstdio>
#include <string>

#include "engine/session_settings.h"
#include "os/default_paths.h"
#include "os/terminal.h"
#include "output/console_print.h"
#include "output/json_writer.h"
#include "searches/batch_runner.h"
#include "engine/outcome.h"
#include "engine/search_runner.h"
#include "engine/site_pacer.h"

namespace host {
namespace {

bool OpenSession(PluginSession& session, const SessionSettings& settings) {
  std::string error;
  if (session.Open(settings, error)) return true;
  Print("tunewell: " + error + "\n", stderr);
  return false;
}

std::string InfoText(PluginSession& session) {
  std::string text;
  for (const auto& [key, value] : session.Info()) text += key + "=" + value + "\n";
  text += "SourceName=" + session.TextProperty(u"SourceName") + "\n";
  text += "SourceId=" + session.TextProperty(u"SourceId") + "\n";
  text += "SupportedSearch=" + std::to_string(session.NumberProperty(u"SupportedSearch")) + "\n";
  return text;
}

std::string InfoJson(PluginSession& session) {
  JsonWriter json;
  json.BeginObject().Field("command", "info").Key("info").BeginObject();
  for (const auto& [key, value] : session.Info()) json.FieldOrNull(SnakeCase(key), value);
  json.EndObject()
      .FieldOrNull("source_name", session.TextProperty(u"SourceName"))
      .FieldOrNull("source_id", session.TextProperty(u"SourceId"))
      .Field("supported_search", session.NumberProperty(u"SupportedSearch"))
      .EndObject();
  return json.Text() + "\n";
}

// get and song go through the pacer, as each song of a batch and each music file does, so that
// one matching decides what a song is for every command (engine/site_pacer.h).
SearchReport Search(PluginSession& session, const Options& options) {
  const bool get = options.command == "get";
  if ((!get && options.command != "song") || options.arguments.size() != 2) {
    return RunSearch(session, options.command, options.arguments);
  }
  SitePacer pacer(options.BatchDelayMs(), options.Retries());
  return pacer.Search(session, {options.arguments[0], options.arguments[1]},
                      MatchPolicyFrom(options, get));
}

}  // namespace

int RunInfoCommand(const Options& options) {
  PluginSession session;
  if (!OpenSession(session, SessionSettingsFrom(options))) return kExitUsage;
  Print(options.json ? InfoJson(session) : InfoText(session), stdout);
  return kExitFound;
}

int RunSearchCommand(const Options& options) {
  PluginSession session;
  if (!OpenSession(session, SessionSettingsFrom(options))) return kExitUsage;
  const SearchReport report = Search(session, options);
  session.Close();
  Print(options.json ? RenderJson(report, options.raw) : RenderText(report, options.raw), stdout);
  Print(RenderMatchedAs(report) + RenderMiss(report, options.timeoutSeconds.value_or(0)), stderr);
  if (options.stats) Print(RenderStatistics(report.statistics), stderr);
  return ExitStatusFor(report.outcome);
}

int RunBatchCommand(const Options& options) {
  std::vector<BatchSong> songs;
  std::string error;
  if (!ReadBatchFile(*options.batchFile, songs, error)) {
    Print("tunewell: " + error + "\n", stderr);
    return kExitUsage;
  }
  PluginSession session;
  if (!OpenSession(session, SessionSettingsFrom(options))) return kExitUsage;
  const BatchSettings settings{*options.batchFile, *options.outDir, RunSettingsFrom(options),
                               options.raw, options.json};
  BatchResult result;
  if (!RunBatch(session, songs, settings, result, error)) {
    Print("tunewell: " + error + "\n", stderr);
    return kExitUsage;
  }
  session.Close();
  Print(options.json ? RenderBatchJson(result, settings) : RenderBatchSummary(result), stdout);
  if (options.stats) Print(RenderStatistics(result.end.statistics), stderr);
  return result.ExitStatus();
}

}  // namespace host
