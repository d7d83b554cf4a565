#include "TTimer.h"

#include "ErrorHandler.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() { Stop(); }

void TTimer::SetEnabled(bool AEnabled) {
  if (AEnabled == FEnabled) return;
  FEnabled = AEnabled;
  if (FEnabled)
    Restart();
  else
    Stop();
}

void TTimer::SetInterval(uint32_t AInterval) {
  if (AInterval == FInterval) return;
  FInterval = AInterval;
  if (FEnabled) Restart();
}

void TTimer::Restart() {
  Stop();
  if (FInterval == 0) return;
  TClock& Clock = TClock::Instance();
  FKey = Clock.Arm(this, Clock.Now() + FInterval);
  FArmed = true;
}

void TTimer::Stop() {
  if (!FArmed) return;
  TClock::Instance().Disarm(FKey);
  FArmed = false;
}

void TTimer::Fire() {
  // The next countdown starts before the handler runs, so a handler that
  // disables its own timer (or changes its interval) has the last word.
  Restart();
  try {
    OnTimer(this);
  } catch (...) {
    HandleException(std::current_exception());
  }
}
