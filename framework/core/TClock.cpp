#include "TClock.h"

#include <chrono>
#include <thread>

#include "TSystemClock.h"
#include "TTimer.h"

namespace {

TClock* GInstalled = nullptr;

}  // namespace

TClock& TClock::Instance() {
  return GInstalled != nullptr ? *GInstalled : TSystemClock::Instance();
}

void TClock::Install(TClock* AClock) { GInstalled = AClock; }

TClock::~TClock() = default;

void TClock::Sleep(uint64_t AMilliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(AMilliseconds));
}

bool TClock::NextDue(uint64_t& ADue) const {
  if (FArmed.empty()) return false;
  ADue = FArmed.begin()->first.first;
  return true;
}

TClock::TKey TClock::Arm(TTimer* ATimer, uint64_t ADue) {
  const TKey Key{ADue, ++FArmCount};
  FArmed.emplace(Key, ATimer);
  ArmedChanged();
  return Key;
}

void TClock::Disarm(const TKey& AKey) {
  FArmed.erase(AKey);
  ArmedChanged();
}

void TClock::FireDue(uint64_t AUntil) {
  // A handler may arm, disarm or destroy any timer, so the earliest entry is
  // looked up afresh after every firing.
  while (!FArmed.empty() && FArmed.begin()->first.first <= AUntil) {
    auto Earliest = FArmed.begin();
    TTimer* Timer = Earliest->second;
    Reached(Earliest->first.first);
    FArmed.erase(Earliest);
    Timer->FArmed = false;
    Timer->Fire();
  }
}
