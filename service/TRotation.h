#pragma once

// The rotation: online N s, hang up, offline M s, dial, on and on. A turn
// succeeds when the new address differs from the recent ones; an address
// seen again is hung up and redialled after the offline wait, up to the
// redial limit, after which the turn counts as not rotated and the next one
// goes on. A failed dial is retried after a wait that doubles up to a cap.
// A line that drops while online is redialled after the offline wait. The
// rotation never stops on its own. Every dial's outcome, every drop and every
// failed hang-up is a row of the history, and counted for the metrics.
//
// The rules beside this are TRotationPolicy's: a new address must also leave
// the recent ones' subnets (IPv4 and IPv6) when asked; online times may be
// drawn at random or run to fixed times; with a schedule, turns happen only
// in its windows. Outside them the line is kept as it is (up, and dialled
// again should it drop) or, with outside-schedule = down, hung up; when a
// window begins, the line is rotated.
//
// The dialler dials and hangs up; the monitor sees the line come up (with its
// address) and go. Every dial's outcome goes into the history.

#include <cstdint>
#include <functional>
#include <string>

#include "TClock.h"
#include "TComponent.h"
#include "TDialRecord.h"
#include "TRasConnectionDetails.h"
#include "TRotationMetrics.h"
#include "TRotationPolicy.h"
#include "TServiceConfig.h"

class TAddressCheck;
class THistory;
class THookRunner;
class TRASManager;
class TRasMonitor;
class TServiceLog;
class TTimer;

class TRotation : public TComponent {
 public:
  enum class TPhase {
    Idle,       // not started
    Dialling,   // a dial is on its way
    Checking,   // connected; the address check runs
    Online,     // connected; the online time runs
    Offline,    // hung up; the offline time runs
    RetryWait,  // a dial failed; the retry wait runs
    Paused,     // nothing is done until resumed; the line stays as it is
    Stopped,    // finished for good
    // between the schedule's windows: kept as it is, or down, until the next
    OutsideSchedule,
  };
  static const char* PhaseName(TPhase APhase);

  struct TStatus {
    std::string Entry;
    TPhase Phase = TPhase::Idle;
    // The line's address while it is up (during the check: the one being
    // checked), else empty; the one before it, or the last one while down.
    std::string Address;
    std::string PreviousAddress;
    std::string PublicAddress;  // the address's public one, when checked
    // The line's global IPv6 address and prefix while it is up, when the
    // provider knows them.
    std::string Address6;
    std::string Prefix6;
    // The drawn length of the current online period; -1 when not online.
    int64_t OnlineMs = -1;
    int64_t SinceMs = 0;     // wall time the phase began
    int64_t UpSinceMs = -1;  // wall time the line came up; -1 while down
    // What the current wait is for, and until the next timed step (-1 when
    // no step is timed, as during a dial).
    std::string WaitingFor;
    int64_t NextStepMs = -1;
    std::string LastError;   // the last failure, said in full; empty after a new address
    int LastErrorCode = 0;   // its dial-up error code, 0 when it has none
    uint64_t Dials = 0;      // dials started
    uint64_t Rotations = 0;  // turns that brought a new address
    uint64_t Failures = 0;   // failed dials, checks and hang-ups, and turns given up
    std::string Provider;    // the dial-up provider's short name, when known
    bool Simulated = false;
  };

  // AHistory, ACheck and AHook may be null (none).
  TRotation(TComponent* AOwner, const TServiceConfig& AConfig, TServiceLog& ALog,
            THistory* AHistory, TAddressCheck* ACheck, THookRunner* AHook);
  ~TRotation() override;

  // Lists the phonebook; false (and nothing started) when the listing fails
  // or lacks the entry. Then the first turn begins: a line already up is
  // taken over as the current one, otherwise it is dialled.
  bool Start(std::string& AProblem);

  enum class TRequest { Done, Already, Busy, Paused, Stopped, OutsideSchedule };
  // Rotates now: hangs up a connected line, or dials at once after a
  // failure. Already while a dial, its check or the offline wait is on its
  // way: that is the rotation, and the offline wait is not cut short. Busy
  // before the start. Outside the schedule's windows the line is rotated
  // too, unless it is to stay down there (OutsideSchedule).
  TRequest RotateNow();
  // Stops the timed steps; a dial on its way finishes first. The line stays.
  TRequest Pause();
  // Goes on: a connected line gets a fresh online time, else it is dialled.
  TRequest Resume();
  // Ends at once: a dial or an address check on its way is abandoned (and
  // recorded so), the line hung up when the configuration asks for it, and
  // ADone called once.
  void Stop(std::function<void()> ADone);

  TStatus Status() const;
  // What the rotation has done since it was made, with the hook's runs.
  TRotationMetrics Metrics() const;
  const TRotationPolicy& Policy() const { return FPolicy; }
  TPhase Phase() const { return FPhase; }
  TRASManager* Dialler() const { return FDialler; }
  TRasMonitor* Monitor() const { return FMonitor; }

  // The dial-up provider's short name, and whether it is the simulated
  // service: the status and every row say so. Set before Start.
  std::string Provider;
  bool Simulated = false;
  // Off: the line is seen only at the monitor's polls, every 500 ms, as
  // before the dial-up library told of its changes; kept for measuring what
  // the notifications save. Set before Start.
  bool LineNotifications = true;

  // Asked before each hang-up the online time or a request brings: 0 to
  // hang up now, else the milliseconds after which to ask again, the line
  // staying online meanwhile, with what it waits for.
  std::function<int64_t(std::string& AWaitingFor)> BeforeHangUp;
  // Told each time the line settles online at an address after a turn (or
  // is taken over).
  std::function<void(const TStatus&)> OnSettled;

  // Raised after every row recorded (whether or not the history is open).
  std::function<void(const TDialRecord&)> OnRecorded;

  // Wall time in ms since the epoch, for rows and the status; tests may move it.
  std::function<int64_t()> WallClock;
  // How long a dial may take before it counts as failed.
  static constexpr int DialLimitSeconds = 120;

 private:
  void Dial();
  void DialTimeUp();
  void OnlineOver();
  void DialError(TObject* ASender, int AError);
  void DialProgress(TObject* ASender, int AMsg, int AState, int AError);
  // Hangs up the line; false, with the failure logged and recorded, when the
  // dial-up service refused.
  bool HangUpLine();
  void LineUp(TObject* ASender, TRasConnectionDetails ADetails);
  void LineDown(TObject* ASender, TRasConnectionDetails ADetails);
  void Verified(const std::string& APublicAddress);
  void CheckFailed(const std::string& AProblem);
  void DialFailed(int AError, const std::string& ADetail);
  void Record(const std::string& AOutcome, int AError, const std::string& ADetail,
              const std::string& APublicAddress = {}, const std::string& AReason = {});
  // A failure: remembered for the status, counted, logged, and told to the
  // hook when the configuration asks for it.
  void Failure(int ACode, const std::string& AText);
  void RunHook(const std::string& AResult, int AError, const std::string& AErrorText);
  // The dial on its way has ended (up or failed): its time is counted once.
  void DialEnded();
  // The line went down by itself: counted, and a row of its own.
  void LineGone(const std::string& ADetail, const std::string& APublicAddress = {});
  void BeginTurn();

  // True when BeforeHangUp holds the line up for now.
  bool HeldUp();
  void Settle();
  // Reads the line's IPv6 facts from the dial-up library.
  void ReadIpv6(uint32_t AHandle, std::string& AAddress, std::string& APrefix);
  void EnterOnline();
  // Looks whether the online period (or the window) is over, and waits on.
  void OnlineStep();
  void LeaveWindow();
  void OutsideStep();
  void WindowBegins();
  void EnterOffline();
  void EnterRetryWait();
  // Arms the step timer for APhase unless a pause or stop is pending, which
  // takes its place.
  void Arm(TPhase APhase, int64_t AMilliseconds, void (TRotation::*ANext)());
  void StepDue(TObject* ASender);
  void SetPhase(TPhase APhase);
  bool Settled();
  void Finish();

  TServiceConfig FConfig;
  TServiceLog& FLog;
  THistory* FHistory;
  TAddressCheck* FCheck;
  THookRunner* FHook;
  TRASManager* FDialler = nullptr;
  TRasMonitor* FMonitor = nullptr;
  TTimer* FStepTimer = nullptr;
  void (TRotation::*FNext)() = nullptr;
  uint64_t FDue = 0;

  TPhase FPhase = TPhase::Idle;
  int64_t FSinceMs = 0;
  bool FPausePending = false;
  bool FStopPending = false;
  std::function<void()> FStopped;

  TRotationPolicy FPolicy;
  std::string FAddress;
  std::string FAddress6;
  std::string FPrefix6;
  std::string FLineAddress6;  // of the line being verified
  std::string FLinePrefix6;
  std::string FPublicAddress;
  std::string FLineAddress;
  std::string FPeerAddress;
  std::string FPreviousAddress;
  std::string FInterface;  // the line's network interface, when the provider names one
  std::string FLastError;
  std::string FHeldFor;  // what a held hang-up waits for
  int FLastErrorCode = 0;
  int64_t FUpSinceMs = -1;
  uint64_t FDialStartedMs = 0;  // on the timers' clock
  bool FDialTimed = false;      // the dial on its way is still to be counted
  uint64_t FTurnStartedMs = 0;  // on the timers' clock
  uint64_t FFailures = 0;       // failures of every kind since start
  int FRedials = 0;             // redials this turn for a repeated address
  int FFailuresInRow = 0;       // failed dials in a row, for the retry wait
  int FStillUpChecks = 0;       // offline waits extended for a line not yet down
  uint64_t FRows = 0;           // rows recorded, for pruning the history now and then
  TRotationMetrics FMetrics;
};
