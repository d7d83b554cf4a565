#include "TRotation.h"

#include <arpa/inet.h>

#include <QDateTime>
#include <algorithm>
#include <vector>

#include "CPRasMonitor.h"
#include "RASManager.h"
#include "RasErrorText.h"
#include "TAddressCheck.h"
#include "THistory.h"
#include "THookRunner.h"
#include "TServiceLog.h"
#include "TTimer.h"

namespace {

// How often the monitor looks at the line when the dial-up library cannot
// tell of changes: twice within the shortest offline time, so that a hung-up
// line is always seen down before it is dialled.
constexpr int PollMilliseconds = 500;
// With the library's change notification the monitor learns of a connect or
// a disconnect as it happens; its polls only make up for a notification lost.
constexpr int FallbackPollMilliseconds = 5000;
// A hung-up line that is still listed when the offline time is over gets
// this many one-second extensions; then the hang-up counts as failed. A
// line that is still up is never dialled.
constexpr int StillUpLimit = 30;

std::string Ipv4Text(const std::string& AText) {
  in_addr Address;
  return inet_pton(AF_INET, AText.c_str(), &Address) == 1 ? AText : std::string();
}

// A device name that is a network interface's (ppp0, enp1s0.7), as a hook
// binding to the line needs it; a provider's description is none.
std::string InterfaceText(const std::string& AText) {
  if (AText.empty() || AText.size() > 15) return {};
  for (const char C : AText) {
    const bool Fine = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
                      C == '.' || C == '_' || C == '-' || C == '@';
    if (!Fine) return {};
  }
  return AText;
}

}  // namespace

TRotation::TRotation(TComponent* AOwner, const TServiceConfig& AConfig, TServiceLog& ALog,
                     THistory* AHistory, TAddressCheck* ACheck, THookRunner* AHook)
    : TComponent(AOwner),
      WallClock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      FConfig(AConfig),
      FLog(ALog),
      FHistory(AHistory),
      FCheck(ACheck),
      FHook(AHook),
      FPolicy(AConfig) {
  FDialler = new TRASManager(this);
  FDialler->SetDialAsync(true);
  FDialler->OnError.Bind(this, &TRotation::DialError);
  FDialler->OnConnecting.Bind(this, &TRotation::DialProgress);
  FMonitor = new TRasMonitor(this);
  FMonitor->OnRasConnected.Bind(this, &TRotation::LineUp);
  FMonitor->OnRasDisconnected.Bind(this, &TRotation::LineDown);
  FStepTimer = new TTimer(this);
  FStepTimer->SetEnabled(false);
  FStepTimer->OnTimer.Bind(this, &TRotation::StepDue);
  FSinceMs = WallClock();
}

TRotation::~TRotation() { FStepTimer->SetEnabled(false); }

bool TRotation::Start(std::string& AProblem) {
  if (!FMonitor->RasApiLoaded()) {
    AProblem = "the dial-up library cannot be loaded";
    return false;
  }
  std::vector<std::string> Entries;
  ListPhonebookEntries(Entries);
  if (Entries.empty()) {
    AProblem = "the phonebook cannot be read or lists no entries";
    return false;
  }
  if (std::find(Entries.begin(), Entries.end(), FConfig.Entry) == Entries.end()) {
    AProblem = "the phonebook has no entry \"" + FConfig.Entry + "\"";
    return false;
  }
  FDialler->SetEntryName(FConfig.Entry);
  if (FHistory != nullptr) {
    const auto Turns = FHistory->RecentTurns(FConfig.Entry, FConfig.DistinctFrom);
    // Remembered oldest first, so that the newest ends up first.
    for (auto Turn = Turns.rbegin(); Turn != Turns.rend(); ++Turn)
      FPolicy.Addresses().Remember({Turn->PublicAddress, Turn->Address6, Turn->Prefix6});
  }
  // Only this entry's line counts: other lines of the machine (other
  // services' entries, another program's dials) come and go beside it.
  FMonitor->SetEntryName(FConfig.Entry);
  FMonitor->SetChangeNotification(LineNotifications);
  FMonitor->SetPollInterval(FallbackPollMilliseconds);
  FMonitor->SetEnabled(true);
  if (!FMonitor->Notified()) {
    FLog.Info("the dial-up library tells of no changes; the line is polled every " +
              std::to_string(PollMilliseconds) + " ms");
    FMonitor->SetEnabled(false);
    FMonitor->SetPollInterval(PollMilliseconds);
    FMonitor->SetEnabled(true);
  }
  FLog.Info("rotating \"" + FConfig.Entry + "\": " + std::to_string(FConfig.OnlineSeconds) +
            " s online, " + std::to_string(FConfig.OfflineSeconds) + " s offline");
  for (const std::string& Line : FPolicy.Describe()) FLog.Info(Line);
  if (FDialler->Connected()) {
    // The monitor reports the line's address at its first poll.
    FLog.Info("the line is up already; it is taken over");
    FUpSinceMs = WallClock();
    EnterOnline();
  } else {
    BeginTurn();
    Dial();
  }
  return true;
}

void TRotation::BeginTurn() { FTurnStartedMs = TClock::Instance().Now(); }

void TRotation::Dial() {
  // A turn whose waits ran past the window's end does not bring the line
  // up where it is to stay down.
  if (FPolicy.DownOutside() && !FPolicy.InWindow(WallClock()) && !FDialler->Connected()) {
    FLog.Info("outside the schedule's windows: the line stays down until the next one");
    OutsideStep();
    return;
  }
  // The monitor's view of the line catches up with it first, so that the
  // line this dial brings up is seen as new.
  FMonitor->PollNow();
  if (FDialler->Connected()) {
    // Hung up, but the line is not down yet: hang up again and give it a
    // moment; never dial over it.
    if (FStillUpChecks == 0) FLog.Info("the line is still up; waiting for it to go down");
    if (!HangUpLine()) {
      FStillUpChecks = 0;
      EnterRetryWait();
      return;
    }
    if (++FStillUpChecks <= StillUpLimit) {
      Arm(TPhase::Offline, 1000, &TRotation::Dial);
      return;
    }
    FStillUpChecks = 0;
    const std::string Detail =
        "the line did not go down within " + std::to_string(StillUpLimit) + " s of hanging up";
    Record("hangup-failed", 0, Detail);
    ++FMetrics.HangUpFailures;
    Failure(0, "hang-up failed: " + Detail);
    EnterRetryWait();
    return;
  }
  FStillUpChecks = 0;
  SetPhase(TPhase::Dialling);
  FDialStartedMs = TClock::Instance().Now();
  FDialTimed = true;
  ++FMetrics.Dials;
  FLineAddress.clear();
  FLineAddress6.clear();
  FLinePrefix6.clear();
  FPeerAddress.clear();
  FInterface.clear();
  FNext = &TRotation::DialTimeUp;
  FStepTimer->SetEnabled(false);
  FStepTimer->SetInterval(DialLimitSeconds * 1000u);
  FDue = FDialStartedMs + DialLimitSeconds * 1000u;
  FStepTimer->SetEnabled(true);
  FLog.Info("dialling \"" + FConfig.Entry + "\"");
  FDialler->SetEntryName(FConfig.Entry);
  FDialler->Dial();
}

void TRotation::DialTimeUp() {
  DialFailed(0, "no connection within " + std::to_string(DialLimitSeconds) + " s");
}

void TRotation::DialProgress(TObject*, int, int AState, int AError) {
  // The dial's own word that the line is up: the monitor looks at once
  // rather than at its next poll, so the line's address and the dial's time
  // are taken as they are.
  if (LineNotifications && FPhase == TPhase::Dialling && AState == RASCS_Connected && AError == 0)
    FMonitor->PollNow();
}

bool TRotation::HangUpLine() {
  FDialler->HangUp();
  const DWORD Result = FDialler->HangUpResult();
  // A connection that ended meanwhile needs no hanging up.
  if (Result == 0 || Result == ERROR_INVALID_HANDLE) {
    FUpSinceMs = -1;
    return true;
  }
  const std::string Text = RasErrorDescription(Result);
  Record("hangup-failed", static_cast<int>(Result), Text);
  ++FMetrics.HangUpFailures;
  Failure(static_cast<int>(Result), "hang-up failed: " + Text);
  return false;
}

void TRotation::DialEnded() {
  if (!FDialTimed) return;
  FDialTimed = false;
  FMetrics.DialSeconds.Observe(static_cast<double>(TClock::Instance().Now() - FDialStartedMs) /
                               1000);
}

void TRotation::LineGone(const std::string& ADetail, const std::string& APublicAddress) {
  FUpSinceMs = -1;
  ++FMetrics.Drops;
  Record("dropped", 0, ADetail, APublicAddress);
}

void TRotation::DialError(TObject*, int AError) {
  // 0: the dial has not brought the line up yet; its notifications follow.
  if (FPhase != TPhase::Dialling || AError == 0) return;
  // Notifications carry no handle: an error that arrives while this dial's
  // line is up and connected belongs to an earlier dial, hung up on its way.
  if (FDialler->ConnectionHandle() != 0) {
    RASCONNSTATUSA Status{};
    Status.dwSize = sizeof Status;
    if (RasGetConnectStatusA(FDialler->ConnectionHandle(), &Status) == 0 &&
        Status.rasconnstate == RASCS_Connected && Status.dwError == 0)
      return;
  }
  DialFailed(AError, {});
}

void TRotation::LineUp(TObject*, TRasConnectionDetails ADetails) {
  if (FieldText(ADetails.EntryName) != FConfig.Entry) return;
  const std::string Address = Ipv4Text(FieldText(ADetails.IPAddress));
  if ((FPhase == TPhase::Online || FPhase == TPhase::OutsideSchedule) && FAddress.empty()) {
    FAddress = Address;
    ReadIpv6(ADetails.Handle, FAddress6, FPrefix6);
    FInterface = InterfaceText(FieldText(ADetails.DeviceName));
    FLog.Info("the line's address is " + (Address.empty() ? std::string("unknown") : Address));
    Settle();
    return;
  }
  if (FPhase != TPhase::Dialling) return;
  FStepTimer->SetEnabled(false);
  DialEnded();
  FUpSinceMs = WallClock();
  FInterface = InterfaceText(FieldText(ADetails.DeviceName));
  FLineAddress = Address;
  FPeerAddress = Ipv4Text(FieldText(ADetails.ServerIPAddress));
  ReadIpv6(ADetails.Handle, FLineAddress6, FLinePrefix6);
  if (FCheck == nullptr) {
    Verified({});
    return;
  }
  SetPhase(TPhase::Checking);
  FCheck->Fetch([this](const std::string& APublic, const std::string& AProblem) {
    if (APublic.empty()) {
      CheckFailed(AProblem);
    } else {
      Verified(APublic);
    }
  });
}

void TRotation::Verified(const std::string& APublicAddress) {
  const std::string& Compared = APublicAddress.empty() ? FLineAddress : APublicAddress;
  if (Compared.empty()) {
    DialFailed(0, "the line came up without an address");
    return;
  }
  FPublicAddress = APublicAddress;
  std::string Shown =
      FLineAddress + (APublicAddress.empty() ? std::string() : " (public " + APublicAddress + ")");
  if (!FLineAddress6.empty()) Shown += ", " + FLineAddress6;
  const TLineAddresses Addresses{Compared, FLineAddress6, FLinePrefix6};
  std::string Seen;
  const TAddressPolicy::TVerdict Verdict = FPolicy.Addresses().Judge(Addresses, Seen);
  if (Verdict != TAddressPolicy::TVerdict::New) {
    const std::string Reason = TAddressPolicy::ReasonName(Verdict);
    const std::string Why = Verdict == TAddressPolicy::TVerdict::RepeatedAddress
                                ? "was seen recently"
                                : "is in " + Seen + ", seen recently";
    Record("repeated", 0, Seen + " seen recently", APublicAddress, Reason);
    if (FRedials < FConfig.RedialLimit) {
      ++FRedials;
      ++FMetrics.Redials[Reason];
      FLog.Info("address " + Shown + " " + Why + "; redialling (" + std::to_string(FRedials) +
                " of " + std::to_string(FConfig.RedialLimit) + ")");
      if (HangUpLine()) {
        EnterOffline();
      } else {
        EnterRetryWait();
      }
      return;
    }
    FRedials = 0;
    FFailuresInRow = 0;
    ++FMetrics.TurnsNotRotated;
    FPreviousAddress = FAddress;
    FAddress = FLineAddress;
    FAddress6 = FLineAddress6;
    FPrefix6 = FLinePrefix6;
    Failure(0, "turn not rotated: address " + Shown + " " + Why + ", " +
                   std::to_string(FConfig.RedialLimit) + " redials did not change it");
    EnterOnline();
    Settle();
    return;
  }
  Record("connected", 0, {}, APublicAddress);
  FPolicy.Addresses().Remember(Addresses);
  FPreviousAddress = FAddress;
  FAddress = FLineAddress;
  FAddress6 = FLineAddress6;
  FPrefix6 = FLinePrefix6;
  FRedials = 0;
  FFailuresInRow = 0;
  FLastError.clear();
  FLastErrorCode = 0;
  ++FMetrics.TurnsRotated;
  FMetrics.LastNewAddressMs = WallClock();
  FMetrics.TurnSeconds.Observe(static_cast<double>(TClock::Instance().Now() - FTurnStartedMs) /
                               1000);
  FLog.Info("new address " + Shown);
  RunHook("rotated", 0, {});
  EnterOnline();
  Settle();
}

void TRotation::Settle() {
  if (OnSettled && !FAddress.empty()) OnSettled(Status());
}

bool TRotation::HeldUp() {
  if (!BeforeHangUp) return false;
  std::string For;
  const int64_t Wait = BeforeHangUp(For);
  if (Wait <= 0) return false;
  Arm(TPhase::Online, Wait, &TRotation::OnlineOver);
  FHeldFor = For;
  return true;
}

void TRotation::CheckFailed(const std::string& AProblem) {
  Record("check-failed", 0, AProblem);
  ++FMetrics.CheckFailures;
  Failure(0, "address check failed: " + AProblem);
  HangUpLine();
  EnterRetryWait();
}

void TRotation::DialFailed(int AError, const std::string& ADetail) {
  DialEnded();
  const std::string Detail =
      !ADetail.empty() ? ADetail : RasErrorDescription(static_cast<DWORD>(AError));
  Record("failed", AError, Detail);
  ++FMetrics.DialFailuresByCode[AError];
  Failure(AError, "dial failed: " + Detail);
  // Hangs up only while the entry is listed as connected.
  HangUpLine();
  EnterRetryWait();
}

void TRotation::LineDown(TObject*, TRasConnectionDetails) {
  if (FPhase == TPhase::Online || (FPhase == TPhase::OutsideSchedule && FUpSinceMs >= 0)) {
    // A line kept up outside the windows is dialled again too, as after any drop.
    const std::string Where = FPhase == TPhase::Online ? "while online" : "outside the schedule";
    LineGone("the line went down " + Where, FPublicAddress);
    FLastError = "the line dropped " + Where;
    FLastErrorCode = 0;
    FLog.Warning(FLastError + "; redialling after the offline time");
    BeginTurn();
    EnterOffline();
  } else if (FPhase == TPhase::Checking) {
    FCheck->Cancel();
    LineGone("the line went while its address was being checked");
    FLastError = "the line dropped during the address check";
    FLastErrorCode = 0;
    FLog.Warning(FLastError);
    EnterOffline();
  } else if (FPhase == TPhase::Paused) {
    if (FUpSinceMs < 0) return;
    LineGone("the line went down while the rotation was paused", FPublicAddress);
    FLog.Warning("the line dropped while paused");
  } else if (FPhase == TPhase::Offline && FStillUpChecks > 0) {
    // The offline time is over; the dial waited only for the line to go.
    Dial();
  }
}

void TRotation::EnterOnline() {
  FHeldFor.clear();
  FPolicy.BeginOnline(TClock::Instance().Now(), WallClock());
  if (FConfig.OnlineJitterSeconds > 0 || !FConfig.RotateAt.empty())
    FLog.Info("online for " + std::to_string((FPolicy.DrawnOnlineMs() + 999) / 1000) + " s");
  OnlineStep();
}

void TRotation::OnlineStep() {
  int64_t Wait = 0;
  switch (FPolicy.OnlineStep(TClock::Instance().Now(), WallClock(), Wait)) {
    case TRotationPolicy::TStep::Wait:
      Arm(TPhase::Online, Wait, &TRotation::OnlineStep);
      break;
    case TRotationPolicy::TStep::LeaveWindow:
      LeaveWindow();
      break;
    default:
      OnlineOver();
      break;
  }
}

void TRotation::LeaveWindow() {
  if (FPolicy.DownOutside() && FDialler->Connected()) {
    FLog.Info("outside the schedule's windows: hanging up until the next one");
    HangUpLine();
  } else {
    FLog.Info("outside the schedule's windows: the line stays as it is until the next one");
  }
  OutsideStep();
}

void TRotation::OutsideStep() {
  int64_t Wait = 0;
  if (FPolicy.OutsideStep(WallClock(), Wait) == TRotationPolicy::TStep::EnterWindow) {
    WindowBegins();
    return;
  }
  Arm(TPhase::OutsideSchedule, Wait, &TRotation::OutsideStep);
}

void TRotation::WindowBegins() {
  FLog.Info("the schedule's window begins: rotating");
  FRedials = 0;
  BeginTurn();
  if (!FDialler->Connected()) {
    Dial();
  } else if (HangUpLine()) {
    EnterOffline();
  } else {
    EnterRetryWait();
  }
}

void TRotation::OnlineOver() {
  if (HeldUp()) return;
  FHeldFor.clear();
  FLog.Info("online time over: hanging up");
  BeginTurn();
  if (HangUpLine()) {
    EnterOffline();
  } else {
    EnterRetryWait();
  }
}

void TRotation::EnterOffline() {
  Arm(TPhase::Offline, static_cast<int64_t>(FConfig.OfflineSeconds) * 1000, &TRotation::Dial);
}

void TRotation::EnterRetryWait() {
  int64_t Wait = FConfig.RetryFirstSeconds;
  for (int Doubling = 0; Doubling < FFailuresInRow && Wait < FConfig.RetryLongestSeconds;
       ++Doubling)
    Wait *= 2;
  Wait = std::min<int64_t>(Wait, FConfig.RetryLongestSeconds);
  ++FFailuresInRow;
  FLog.Info("trying again in " + std::to_string(Wait) + " s");
  Arm(TPhase::RetryWait, Wait * 1000, &TRotation::Dial);
}

void TRotation::Arm(TPhase APhase, int64_t AMilliseconds, void (TRotation::*ANext)()) {
  FStepTimer->SetEnabled(false);
  FNext = nullptr;
  if (FStopPending) {
    Finish();
    return;
  }
  if (FPausePending) {
    FPausePending = false;
    SetPhase(TPhase::Paused);
    FLog.Info("paused");
    return;
  }
  SetPhase(APhase);
  FNext = ANext;
  FStepTimer->SetInterval(static_cast<uint32_t>(AMilliseconds));
  FDue = TClock::Instance().Now() + static_cast<uint64_t>(AMilliseconds);
  FStepTimer->SetEnabled(true);
}

void TRotation::StepDue(TObject*) {
  FStepTimer->SetEnabled(false);
  auto Next = FNext;
  FNext = nullptr;
  if (Next != nullptr) (this->*Next)();
}

void TRotation::SetPhase(TPhase APhase) {
  // The waits that are looked at again every minute stay in their phase.
  if (APhase != FPhase) FSinceMs = WallClock();
  FPhase = APhase;
}

bool TRotation::Settled() { return FPhase != TPhase::Dialling && FPhase != TPhase::Checking; }

TRotation::TRequest TRotation::RotateNow() {
  if (FPhase == TPhase::Stopped || FStopPending) return TRequest::Stopped;
  if (FPhase == TPhase::Paused || FPausePending) return TRequest::Paused;
  if (FPhase == TPhase::Idle) return TRequest::Busy;
  if (!Settled() || FPhase == TPhase::Offline) return TRequest::Already;
  if (FPolicy.DownOutside() && !FPolicy.InWindow(WallClock())) return TRequest::OutsideSchedule;
  FLog.Info("rotation requested");
  FRedials = 0;
  if (FPhase == TPhase::Online || (FPhase == TPhase::OutsideSchedule && FDialler->Connected())) {
    if (HeldUp()) return TRequest::Done;
    FHeldFor.clear();
    BeginTurn();
    if (HangUpLine()) {
      EnterOffline();
    } else {
      EnterRetryWait();
    }
  } else {
    Dial();
  }
  return TRequest::Done;
}

TRotation::TRequest TRotation::Pause() {
  if (FPhase == TPhase::Stopped || FStopPending) return TRequest::Stopped;
  if (FPhase == TPhase::Paused) return TRequest::Done;
  if (!Settled() || FPhase == TPhase::Idle) {
    FPausePending = true;
    return TRequest::Done;
  }
  FStepTimer->SetEnabled(false);
  FNext = nullptr;
  SetPhase(TPhase::Paused);
  FLog.Info("paused");
  return TRequest::Done;
}

TRotation::TRequest TRotation::Resume() {
  if (FPhase == TPhase::Stopped || FStopPending) return TRequest::Stopped;
  FPausePending = false;
  if (FPhase != TPhase::Paused) return TRequest::Done;
  FLog.Info("resumed");
  if (FDialler->Connected()) {
    EnterOnline();
  } else {
    BeginTurn();
    Dial();
  }
  return TRequest::Done;
}

void TRotation::Stop(std::function<void()> ADone) {
  FStopped = std::move(ADone);
  if (FPhase == TPhase::Stopped) {
    Finish();
    return;
  }
  FStopPending = true;
  if (!Settled()) {
    // A stop does not wait for a dial or a check that may take minutes: the
    // dial is abandoned and the line left as it is (or hung up, below).
    if (FPhase == TPhase::Checking && FCheck != nullptr) FCheck->Cancel();
    Record("abandoned", 0,
           FPhase == TPhase::Checking ? "the service stopped during the address check"
                                      : "the service stopped during the dial");
    FLog.Info(FPhase == TPhase::Checking ? "stopping during the address check"
                                         : "stopping during the dial; it is abandoned");
  }
  Finish();
}

void TRotation::Finish() {
  FStepTimer->SetEnabled(false);
  FNext = nullptr;
  if (FPhase != TPhase::Stopped) {
    if (FConfig.HangupOnExit) {
      FLog.Info("hanging up before the end");
      HangUpLine();
    }
    FMonitor->SetEnabled(false);
    SetPhase(TPhase::Stopped);
  }
  auto Done = std::move(FStopped);
  FStopped = nullptr;
  if (Done) Done();
}

TRotationMetrics TRotation::Metrics() const {
  TRotationMetrics Metrics = FMetrics;
  if (FHook != nullptr) {
    Metrics.HookRuns = FHook->Runs();
    Metrics.HookFailures = FHook->Failures();
  }
  return Metrics;
}
