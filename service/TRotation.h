#pragma once

// The rotation: online N s, hang up, offline M s, dial, on and on. A turn
// succeeds when the new address differs from the recent ones; an address
// seen again is hung up and redialled after the offline wait, up to the
// redial limit, after which the turn counts as not rotated and the next one
// goes on. A failed dial is retried after a wait that doubles up to a cap.
// A line that drops while online is redialled after the offline wait. The
// rotation never stops on its own.
//
// The dialler dials and hangs up; the monitor sees the line come up (with its
// address) and go. Every dial's outcome goes into the history.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "TClock.h"
#include "TComponent.h"
#include "TDialRecord.h"
#include "TRasConnectionDetails.h"
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
  };
  static const char* PhaseName(TPhase APhase);

  struct TStatus {
    std::string Entry;
    TPhase Phase = TPhase::Idle;
    std::string Address;        // the latest verified address
    std::string PublicAddress;  // its public address, when checked
    int64_t SinceMs = 0;        // wall time the phase began
    int64_t NextStepMs = -1;    // until the next timed step; -1 when none is armed
    std::string LastError;
    uint64_t Turns = 0;    // dials recorded since start
    std::string Provider;  // the dial-up provider's short name, when known
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

  enum class TRequest { Done, Busy, Paused, Stopped };
  // Rotates now: hangs up a connected line, or dials at once when offline.
  // Busy while a dial or its check is on its way.
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
  TPhase Phase() const { return FPhase; }
  TRASManager* Dialler() const { return FDialler; }
  TRasMonitor* Monitor() const { return FMonitor; }

  // The dial-up provider's short name, and whether it is the simulated
  // service: the status and every row say so. Set before Start.
  std::string Provider;
  bool Simulated = false;

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
              const std::string& APublicAddress = {});

  void EnterOnline();
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

  std::deque<std::string> FRecent;  // newest first, at most DistinctFrom
  std::string FAddress;
  std::string FPublicAddress;
  std::string FLineAddress;
  std::string FPeerAddress;
  std::string FLastError;
  uint64_t FDialStartedMs = 0;  // on the timers' clock
  int FRedials = 0;             // redials this turn for a repeated address
  int FFailures = 0;            // failed dials in a row
  int FStillUpChecks = 0;       // offline waits extended for a line not yet down
  uint64_t FTurns = 0;
};
