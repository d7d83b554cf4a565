#pragma once

// The fleet's say before this node hangs up: with max-offline set it needs one
// of the fleet's slots first (asked again each second while none is free),
// then it leaves the registry and stays up for the drain time. An answer that
// does not come within AnswerLimitMs lets the node go on by its own schedule,
// so that the rotation never waits on Redis for longer. On the timers' clock.

#include <cstdint>
#include <functional>
#include <string>

class TServiceLog;

class TFleetGate {
 public:
  static constexpr int64_t AnswerLimitMs = 3000;
  static constexpr int64_t SlotRetryMs = 1000;
  // How often the rotation looks again while an answer is awaited.
  static constexpr int64_t AskAgainMs = 50;

  enum class TAnswer { Granted, NoSlot, NoAnswer };

  TFleetGate(int AMaxOffline, int ADrainSeconds, TServiceLog& ALog);

  // Asks for a slot; the answer comes through Answered, at once or later.
  std::function<void()> AskSlot;
  // Takes the node out of the registry and tells the fleet it leaves.
  std::function<void()> Leave;

  void Answered(TAnswer AAnswer);
  // 0: hang up now; else the milliseconds after which to ask again, with
  // what the node waits for.
  int64_t BeforeHangUp(std::string& AWaitingFor);
  // The line is up at an address again: the next hang-up asks anew.
  void Settled();
  bool HoldsSlot() const { return FSlot; }

 private:
  enum class TState { Online, Asking, NoSlot, Draining, Out };
  void StartDrain();

  int FMaxOffline;
  int64_t FDrainMs;
  TServiceLog& FLog;
  TState FState = TState::Online;
  uint64_t FAskedMs = 0;
  uint64_t FUntilMs = 0;
  bool FSlot = false;
  bool FFellBack = false;  // logged once until an answer comes again
};
