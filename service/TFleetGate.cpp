#include "TFleetGate.h"

#include "TClock.h"
#include "TServiceLog.h"

TFleetGate::TFleetGate(int AMaxOffline, int ADrainSeconds, TServiceLog& ALog)
    : FMaxOffline(AMaxOffline), FDrainMs(static_cast<int64_t>(ADrainSeconds) * 1000), FLog(ALog) {}

void TFleetGate::Answered(TAnswer AAnswer) {
  if (FState != TState::Asking) return;
  if (AAnswer == TAnswer::NoAnswer) return;  // the time limit decides
  if (FFellBack) {
    FFellBack = false;
    FLog.Info("fleet: slots are answered again");
  }
  if (AAnswer == TAnswer::Granted) {
    FSlot = true;
    StartDrain();
    return;
  }
  FState = TState::NoSlot;
  FUntilMs = TClock::Instance().Now() + SlotRetryMs;
}

void TFleetGate::StartDrain() {
  FState = TState::Draining;
  FUntilMs = TClock::Instance().Now() + static_cast<uint64_t>(FDrainMs);
  if (Leave) Leave();
}

int64_t TFleetGate::BeforeHangUp(std::string& AWaitingFor) {
  const uint64_t Now = TClock::Instance().Now();
  if (FState == TState::Online || (FState == TState::NoSlot && Now >= FUntilMs)) {
    if (FMaxOffline == 0) {
      StartDrain();
    } else {
      FState = TState::Asking;
      FAskedMs = Now;
      if (AskSlot) AskSlot();
    }
  }
  switch (FState) {
    case TState::Asking:
      if (Now - FAskedMs < static_cast<uint64_t>(AnswerLimitMs)) {
        AWaitingFor = "a slot";
        return AskAgainMs;
      }
      if (!FFellBack) {
        FFellBack = true;
        FLog.Warning("fleet: no answer about a slot within " +
                     std::to_string(AnswerLimitMs / 1000) +
                     " s; hanging up by this node's own schedule");
      }
      StartDrain();
      break;
    case TState::NoSlot:
      AWaitingFor = "a slot";
      return static_cast<int64_t>(FUntilMs - Now);
    default:
      break;
  }
  if (FState == TState::Draining) {
    if (Now < FUntilMs) {
      AWaitingFor = "the drain time";
      return static_cast<int64_t>(FUntilMs - Now);
    }
    FState = TState::Out;
  }
  return 0;
}

void TFleetGate::Settled() {
  FState = TState::Online;
  FSlot = false;
}
