#include "TClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <stdexcept>

#include "TTimer.h"

namespace {

QElapsedTimer& SystemTime() {
  static QElapsedTimer Started = [] {
    QElapsedTimer Timer;
    Timer.start();
    return Timer;
  }();
  return Started;
}

}  // namespace

TClock& TClock::Instance() {
  static TClock Clock;
  return Clock;
}

TClock::TClock() { SystemTime(); }
TClock::~TClock() = default;

void TClock::UseManualClock() {
  TClock& Clock = Instance();
  Clock.FManual = true;
  if (Clock.FWake) Clock.FWake->stop();
}

uint64_t TClock::Now() const {
  return FManual ? FManualNow : static_cast<uint64_t>(SystemTime().elapsed());
}

bool TClock::NextDue(uint64_t& ADue) const {
  if (FArmed.empty()) return false;
  ADue = FArmed.begin()->first.first;
  return true;
}

void TClock::Advance(uint64_t AMilliseconds) {
  if (!FManual) throw std::logic_error("TClock::Advance needs the manual clock");
  const uint64_t Target = FManualNow + AMilliseconds;
  FireDue(Target);
  FManualNow = Target;
}

TClock::TKey TClock::Arm(TTimer* ATimer, uint64_t ADue) {
  const TKey Key{ADue, ++FArmCount};
  FArmed.emplace(Key, ATimer);
  ScheduleWake();
  return Key;
}

void TClock::Disarm(const TKey& AKey) {
  FArmed.erase(AKey);
  ScheduleWake();
}

void TClock::FireDue(uint64_t AUntil) {
  // A handler may arm, disarm or destroy any timer, so the earliest entry is
  // looked up afresh after every firing.
  while (!FArmed.empty() && FArmed.begin()->first.first <= AUntil) {
    auto Earliest = FArmed.begin();
    TTimer* Timer = Earliest->second;
    if (FManual) FManualNow = std::max(FManualNow, Earliest->first.first);
    FArmed.erase(Earliest);
    Timer->FArmed = false;
    Timer->Fire();
  }
}

void TClock::ScheduleWake() {
  if (FManual || QCoreApplication::instance() == nullptr) return;
  if (!FWake) {
    FWake = std::make_unique<QTimer>();
    FWake->setSingleShot(true);
    FWake->setTimerType(Qt::PreciseTimer);
    QObject::connect(FWake.get(), &QTimer::timeout, [this] {
      FireDue(Now());
      ScheduleWake();
    });
  }
  uint64_t Due = 0;
  if (!NextDue(Due)) {
    FWake->stop();
    return;
  }
  const uint64_t Current = Now();
  // Qt's timers stop at 2^31-1 ms; a longer wait wakes early and sleeps again.
  const uint64_t Wait = Due > Current ? std::min<uint64_t>(Due - Current, INT_MAX) : 0;
  FWake->start(static_cast<int>(Wait));
}
