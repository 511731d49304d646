// The loop of a run over many items, which get --batch (songs) and tag (files) share: before
// each item, a stop when the run was cancelled (Ctrl-C, --timeout); its progress line started,
// the item done by the caller's step (which searches through the run's pacer when it must), its
// line finished, kept above the bar when it is a problem; the pacer's waits after failures
// shown on the bar, counted down; a stop when the step was cut short or when the site has
// stopped answering (engine/site_pacer.h), with the give-up line then; and
// the end of the run's summary and JSON that both print alike. Runs on the thread that drives
// the plug-in.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "engine/outcome.h"
#include "engine/site_pacer.h"
#include "output/json_writer.h"
#include "session/plugin_session.h"

namespace host {

struct RunSettings {
  int delayMs = 250;
  int retries = 0;                // more tries for an item whose download failed
  MatchPolicy match;              // what each song's search takes as a match
  std::FILE* progress = nullptr;  // stderr
  bool progressIsTerminal = false;
  bool quiet = false;  // only the problems' lines
};

// What a step did with its item, for its progress line.
struct StepEnd {
  std::string status;   // "found", "tagged", "failed: REASON", ...; empty: no line (cut short)
  std::string label;    // the item as the line names it
  bool problem = false;                // not found or failed: kept above the bar
  Outcome stoppedBy = Outcome::Found;  // Interrupted or TimedOut when cut short
};

// How the run ended: cut short, or given up, with the plug-in's statistics.
struct RunEnd {
  Outcome stoppedBy = Outcome::Found;  // Interrupted or TimedOut when cancelled; else Found
  SiteStop gaveUp = SiteStop::None;    // stopped: the site has stopped answering
  DownloadStatistics statistics;

  bool Cancelled() const { return stoppedBy != Outcome::Found; }
};

// The item's label before its step (shown while it runs), and its step.
using ItemLabel = std::function<std::string(std::size_t item)>;
using ItemStep = std::function<StepEnd(std::size_t item, SitePacer& pacer)>;

// Runs the `count` items in order.
RunEnd RunItems(PluginSession& session, const RunSettings& settings, std::size_t count,
                const ItemLabel& label, const ItemStep& step);

// Interrupted or TimedOut, as the CancelSwitch says.
Outcome CancelOutcome();

// The last fields of a run's JSON summary: "not_done", "stopped".
void WriteRunEnd(JsonWriter& json, const RunEnd& end, int notDone);

}  // namespace host
