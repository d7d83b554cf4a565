#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

class TTimer;
class QTimer;

// The one clock every TTimer runs on. In the program it follows the system's
// monotonic time and wakes the GUI thread when the next timer falls due; in
// tests it stands still until the test advances it by hand, and due timers
// fire in the order of their due times, on the calling (GUI) thread.
class TClock {
 public:
  static TClock& Instance();

  // Switches to the hand-driven clock. Tests call it before any timer is armed.
  static void UseManualClock();
  bool Manual() const { return FManual; }

  // Milliseconds since the clock was created.
  uint64_t Now() const;

  // Hand-driven clock only: moves time forward by AMilliseconds, firing every
  // timer that falls due on the way, at its due time.
  void Advance(uint64_t AMilliseconds);

  // Due time of the earliest armed timer, if any.
  bool NextDue(uint64_t& ADue) const;

 private:
  friend class TTimer;
  using TKey = std::pair<uint64_t, uint64_t>;  // due time, arming order

  TClock();
  ~TClock();
  TKey Arm(TTimer* ATimer, uint64_t ADue);
  void Disarm(const TKey& AKey);
  void FireDue(uint64_t AUntil);
  void ScheduleWake();

  bool FManual = false;
  uint64_t FManualNow = 0;
  uint64_t FArmCount = 0;
  std::map<TKey, TTimer*> FArmed;
  std::unique_ptr<QTimer> FWake;
};
