#pragma once

// The rotation's rules beside its mechanics: whether a new address counts
// (TAddressPolicy), how long each online period lasts (drawn with jitter,
// or up to the next fixed time) and whether the schedule's windows allow a
// turn now.
//
// Periods measured in seconds run on the timers' clock, untouched by
// changes of the wall clock; the schedule's windows and fixed times follow
// the wall clock as it reads. Waits for them are armed for at most a minute
// at a time and looked at again, so that a clock set forward or backwards
// (by hand, or by a time server's correction) moves them along with it. A
// fixed time that has had its rotation never has a second one, also when
// the clock is set back over it.

#include <QTimeZone>
#include <cstdint>
#include <string>
#include <vector>

#include "TAddressPolicy.h"
#include "TJitter.h"
#include "TSchedule.h"
#include "TServiceConfig.h"

class TRotationPolicy {
 public:
  // Waits that follow the wall clock are looked at again after this long.
  static constexpr int64_t RecheckMs = 60000;

  explicit TRotationPolicy(const TServiceConfig& AConfig,
                           QTimeZone AZone = QTimeZone::systemTimeZone());

  // The rules in force, for the log: one line each, none for the defaults.
  std::vector<std::string> Describe() const;

  TAddressPolicy& Addresses() { return FAddresses; }
  const TAddressPolicy& Addresses() const { return FAddresses; }
  const TJitter& Jitter() const { return FJitter; }
  const TSchedule& Schedule() const { return FSchedule; }
  bool HasWindows() const { return FSchedule.HasWindows(); }
  bool DownOutside() const { return FDownOutside; }

  // What is due while online, or while waiting outside the windows.
  enum class TStep {
    Wait,         // nothing yet: look again after the wait given
    Rotate,       // the online period is over
    LeaveWindow,  // the window has ended
    EnterWindow,  // a window has begun
  };

  // Begins an online period at these moments (the timers' clock, the wall
  // clock): draws its length.
  void BeginOnline(uint64_t ANowMs, int64_t AWallMs);
  TStep OnlineStep(uint64_t ANowMs, int64_t AWallMs, int64_t& AWaitMs);
  // The drawn length of the current online period; -1 before the first.
  int64_t DrawnOnlineMs() const { return FDrawnMs; }

  bool InWindow(int64_t AWallMs) const;
  TStep OutsideStep(int64_t AWallMs, int64_t& AWaitMs) const;

  // Until the online period ends (online) or the next window begins
  // (outside), for the status; -1 when unknown.
  int64_t OnlineLeftMs(uint64_t ANowMs, int64_t AWallMs) const;
  int64_t OutsideLeftMs(int64_t AWallMs) const;

 private:
  TServiceConfig FConfig;
  int64_t FOnlineSeconds;
  int64_t FJitterMs;
  bool FDownOutside;
  TAddressPolicy FAddresses;
  TJitter FJitter;
  TSchedule FSchedule;

  int64_t FDrawnMs = -1;
  // The period's end: on the timers' clock for a length, on the wall clock
  // for a fixed time; -1 when not in use.
  int64_t FEndNowMs = -1;
  int64_t FEndWallMs = -1;
  // The fixed time the period runs to, and the latest one that had its
  // rotation.
  int64_t FSlotMs = -1;
  int64_t FLastSlotMs = INT64_MIN;
};
