#pragma once

#include <cstdint>
#include <map>
#include <utility>

class TTimer;

// The clock every TTimer runs on: it tells the time and keeps the armed
// timers in the order they fall due. The program runs on the system clock
// (TSystemClock); another clock (a test's hand-driven one) can be installed
// before any timer is armed. Due timers fire in the order of their due
// times, on the GUI thread.
class TClock {
 public:
  // The clock in use: the one installed, else the system clock.
  static TClock& Instance();
  // Makes AClock the clock in use (null: the system clock again). Only before
  // any timer is armed: armed timers stay with the clock they were armed on.
  static void Install(TClock* AClock);

  virtual ~TClock();

  // Milliseconds since the clock was created.
  virtual uint64_t Now() const = 0;

  // Due time of the earliest armed timer, if any.
  bool NextDue(uint64_t& ADue) const;

  // Blocks the calling thread for AMilliseconds: nothing runs meanwhile, and
  // timers that fall due are served after it.
  virtual void Sleep(uint64_t AMilliseconds);

 protected:
  TClock() = default;

  // Fires, one at a time, every timer due at AUntil or before.
  void FireDue(uint64_t AUntil);
  // Just before a timer due at ADue fires.
  virtual void Reached(uint64_t /*ADue*/) {}
  // After the set of armed timers has changed.
  virtual void ArmedChanged() {}

 private:
  friend class TTimer;
  using TKey = std::pair<uint64_t, uint64_t>;  // due time, arming order

  TKey Arm(TTimer* ATimer, uint64_t ADue);
  void Disarm(const TKey& AKey);

  uint64_t FArmCount = 0;
  std::map<TKey, TTimer*> FArmed;
};
