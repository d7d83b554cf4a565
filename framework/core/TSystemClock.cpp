#include "TSystemClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <climits>

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

TSystemClock& TSystemClock::Instance() {
  static TSystemClock Clock;
  return Clock;
}

TSystemClock::TSystemClock() { SystemTime(); }
TSystemClock::~TSystemClock() = default;

uint64_t TSystemClock::Now() const { return static_cast<uint64_t>(SystemTime().elapsed()); }

void TSystemClock::ArmedChanged() {
  if (QCoreApplication::instance() == nullptr) return;
  if (!FWake) {
    FWake = std::make_unique<QTimer>();
    FWake->setSingleShot(true);
    FWake->setTimerType(Qt::PreciseTimer);
    QObject::connect(FWake.get(), &QTimer::timeout, [this] {
      FireDue(Now());
      ArmedChanged();
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
