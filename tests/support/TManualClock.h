#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

#include "TClock.h"

// The hand-driven clock of the tests: it stands still until a test advances
// it, and every timer due on the way fires at its due time, on the calling
// thread. Installed by the test programs before any timer is armed.
class TManualClock : public TClock {
 public:
  static TManualClock& Instance() {
    static TManualClock Clock;
    return Clock;
  }
  // Makes the hand-driven clock the one every timer runs on.
  static void Use() { TClock::Install(&Instance()); }

  uint64_t Now() const override { return FNow; }

  // A sleep moves time forward at once and fires nothing: timers that fell
  // due meanwhile fire at the next Advance. Sleeping, when set, sees each
  // sleep before time moves.
  void Sleep(uint64_t AMilliseconds) override {
    if (Sleeping) Sleeping(AMilliseconds);
    FNow += AMilliseconds;
  }
  std::function<void(uint64_t)> Sleeping;

  // Moves time forward by AMilliseconds, firing every timer that falls due
  // on the way, at its due time.
  void Advance(uint64_t AMilliseconds) {
    const uint64_t Target = FNow + AMilliseconds;
    FireDue(Target);
    FNow = Target;
  }

 protected:
  void Reached(uint64_t ADue) override { FNow = std::max(FNow, ADue); }

 private:
  TManualClock() = default;
  uint64_t FNow = 0;
};
