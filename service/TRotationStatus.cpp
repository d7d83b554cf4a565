// How the rotation tells of itself: its phase's name and its status.

#include "TClock.h"
#include "TRotation.h"
#include "TTimer.h"

const char* TRotation::PhaseName(TPhase APhase) {
  switch (APhase) {
    case TPhase::Idle:
      return "idle";
    case TPhase::Dialling:
      return "dialling";
    case TPhase::Checking:
      return "checking";
    case TPhase::Online:
      return "online";
    case TPhase::Offline:
      return "offline";
    case TPhase::RetryWait:
      return "retry-wait";
    case TPhase::Paused:
      return "paused";
    case TPhase::Stopped:
      return "stopped";
    case TPhase::OutsideSchedule:
      return "outside-schedule";
  }
  return "unknown";
}

TRotation::TStatus TRotation::Status() const {
  TStatus Status;
  Status.Entry = FConfig.Entry;
  Status.Phase = FPhase;
  Status.UpSinceMs = FUpSinceMs;
  if (FPhase == TPhase::Checking) {
    Status.Address = FLineAddress;
    Status.PreviousAddress = FAddress;
    Status.Address6 = FLineAddress6;
    Status.Prefix6 = FLinePrefix6;
  } else if (FUpSinceMs >= 0) {
    Status.Address = FAddress;
    Status.PreviousAddress = FPreviousAddress;
    Status.PublicAddress = FPublicAddress;
    Status.Address6 = FAddress6;
    Status.Prefix6 = FPrefix6;
  } else {
    Status.PreviousAddress = FAddress;
  }
  Status.SinceMs = FSinceMs;
  switch (FPhase) {
    case TPhase::Idle:
      Status.WaitingFor = "start";
      break;
    case TPhase::Dialling:
      Status.WaitingFor = "dial";
      break;
    case TPhase::Checking:
      Status.WaitingFor = "address check";
      break;
    case TPhase::Online:
      Status.WaitingFor = FHeldFor.empty() ? "online time" : FHeldFor;
      break;
    case TPhase::Offline:
      Status.WaitingFor = FStillUpChecks > 0 ? "line to go down" : "offline time";
      break;
    case TPhase::RetryWait:
      Status.WaitingFor = "retry after a failure";
      break;
    case TPhase::Paused:
      Status.WaitingFor = "resume";
      break;
    case TPhase::OutsideSchedule:
      Status.WaitingFor = "schedule's next window";
      break;
    case TPhase::Stopped:
      break;
  }
  // A dial's time limit is no step the rotation has planned.
  if (FStepTimer->Enabled() && FPhase != TPhase::Dialling) {
    const uint64_t Now = TClock::Instance().Now();
    Status.NextStepMs = FDue > Now ? static_cast<int64_t>(FDue - Now) : 0;
    // Waits on the wall clock are looked at every minute; the step is when
    // the wait ends.
    if (FPhase == TPhase::Online) {
      Status.OnlineMs = FPolicy.DrawnOnlineMs();
      Status.NextStepMs = FPolicy.OnlineLeftMs(Now, WallClock());
    } else if (FPhase == TPhase::OutsideSchedule) {
      Status.NextStepMs = FPolicy.OutsideLeftMs(WallClock());
    }
  }
  Status.LastError = FLastError;
  Status.LastErrorCode = FLastErrorCode;
  Status.Dials = FMetrics.Dials;
  Status.Rotations = FMetrics.TurnsRotated;
  Status.Failures = FFailures;
  Status.Provider = Provider;
  Status.Simulated = Simulated;
  return Status;
}
