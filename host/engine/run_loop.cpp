#include "engine/run_loop.h"

#include "engine/progress_display.h"
#include "engine/search_report.h"
#include "engine/shown_waits.h"
#include "session/cancel_switch.h"

namespace host {

Outcome CancelOutcome() {
  return CancelSwitch::WhyCancelled() == CancelSwitch::Reason::TimedOut ? Outcome::TimedOut
                                                                        : Outcome::Interrupted;
}

RunEnd RunItems(PluginSession& session, const RunSettings& settings, std::size_t count,
                const ItemLabel& label, const ItemStep& step) {
  RunEnd end;
  ProgressDisplay progress(settings.progress, settings.progressIsTerminal,
                           static_cast<int>(count), 0, settings.quiet);
  ShownWaits clock(progress);
  SitePacer pacer(settings.delayMs, settings.retries, clock);
  for (std::size_t item = 0; item < count; ++item) {
    const int index = static_cast<int>(item);
    if (CancelSwitch::Cancelled()) {
      end.stoppedBy = CancelOutcome();
      break;
    }
    progress.Started(index, label(item));
    const StepEnd one = step(item, pacer);
    // An item cut short before its work began has no line of its own.
    if (!one.status.empty()) progress.Finished(index, one.status, one.label, one.problem);
    if (one.stoppedBy != Outcome::Found) {
      end.stoppedBy = one.stoppedBy;
      break;
    }
    end.gaveUp = pacer.GaveUp();
    if (end.gaveUp != SiteStop::None) break;
  }
  progress.Close();
  if (end.gaveUp != SiteStop::None) std::fputs(pacer.GaveUpMessage().c_str(), settings.progress);
  end.statistics = session.Statistics();
  return end;
}

void WriteRunEnd(JsonWriter& json, const RunEnd& end, int notDone) {
  // The summary's last fields; the caller closes it and writes the statistics after it.
  json.Field("not_done", notDone).FieldOrNull("stopped", StoppedReason(end.stoppedBy, end.gaveUp));
}

}  // namespace host
