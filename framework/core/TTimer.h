#pragma once

#include <cstdint>

#include "TClock.h"
#include "TComponent.h"
#include "TEvent.h"

// The timer the cycle, the dialler and the monitor rely on:
// - enabling an enabled timer, or disabling a disabled one, changes nothing;
// - setting the interval it already has changes nothing; a different interval
//   restarts the countdown of an enabled timer and is only stored otherwise;
// - interval 0 never fires, even while enabled;
// - it fires again and again, one interval apart, until it is disabled.
// Intervals are unsigned 32-bit milliseconds, so 4294966296 ms fires after
// about 49.7 days: a negative interval read as unsigned waits that long
// rather than firing at once or never. A handler's exception goes to the
// program's error handler and the timer keeps running.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AEnabled);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t AInterval);

  TNotifyEvent OnTimer;

 private:
  friend class TClock;
  void Restart();
  void Stop();
  void Fire();

  bool FEnabled = false;
  uint32_t FInterval = 1000;
  bool FArmed = false;
  TClock::TKey FKey{};
};
