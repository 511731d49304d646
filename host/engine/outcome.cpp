#include "engine/outcome.h"

#include "session/cancel_switch.h"

namespace host {
namespace {

struct OutcomeRow {
  Outcome outcome;
  int exitStatus;
  std::string_view name;
};

constexpr OutcomeRow kOutcomes[] = {
    {Outcome::Found, kExitFound, "found"},
    {Outcome::NotFound, kExitNotFound, "not found"},
    {Outcome::Doubtful, kExitNotFound, "doubtful"},
    {Outcome::DownloadFailed, kExitDownloadFailed, "download failed"},
    {Outcome::Interrupted, kExitNotFound, "interrupted"},
    {Outcome::TimedOut, kExitNotFound, "timed out"},
};

const OutcomeRow& RowOf(Outcome outcome) {
  for (const OutcomeRow& row : kOutcomes) {
    if (row.outcome == outcome) return row;
  }
  return kOutcomes[1];
}

}  // namespace

int ExitStatusFor(Outcome outcome) { return RowOf(outcome).exitStatus; }

std::string_view OutcomeName(Outcome outcome) { return RowOf(outcome).name; }

int RunExitStatus(bool cancelled, int downloadFailed, int localProblems, int notFound) {
  if (cancelled) return kExitNotFound;
  if (downloadFailed > 0) return kExitDownloadFailed;
  if (localProblems > 0) return kExitLocalProblem;
  return notFound > 0 ? kExitNotFound : kExitFound;
}

std::string_view StoppedReason(Outcome stoppedBy, SiteStop gaveUp) {
  if (gaveUp == SiteStop::NotReachable) return "site not reachable";
  if (gaveUp == SiteStop::Refused) return "site refused";
  return stoppedBy == Outcome::Found ? std::string_view() : OutcomeName(stoppedBy);
}

std::string StoppedNote(Outcome stoppedBy, SiteStop gaveUp, int notDone) {
  const std::string_view why = StoppedReason(stoppedBy, gaveUp);
  if (why.empty()) return {};
  return "; " + std::string(why) + ", " + std::to_string(notDone) + " not done";
}

Outcome Classify(bool found, const DownloadStatistics& before, const DownloadStatistics& after) {
  if (found) return Outcome::Found;
  switch (CancelSwitch::WhyCancelled()) {
    case CancelSwitch::Reason::Interrupted:
      return Outcome::Interrupted;
    case CancelSwitch::Reason::TimedOut:
      return Outcome::TimedOut;
    case CancelSwitch::Reason::None:
      break;
  }
  const int attempted = after.attempted - before.attempted;
  const int successful = after.successful - before.successful;
  return successful < attempted ? Outcome::DownloadFailed : Outcome::NotFound;
}

}  // namespace host
