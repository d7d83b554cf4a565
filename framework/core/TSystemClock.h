#pragma once

#include <cstdint>
#include <memory>

#include "TClock.h"

class QTimer;

// The program's clock: the system's monotonic time. It wakes the GUI thread's
// message loop when the next timer falls due; without a running application
// object no timer fires.
class TSystemClock : public TClock {
 public:
  static TSystemClock& Instance();

  uint64_t Now() const override;

 protected:
  void ArmedChanged() override;

 private:
  TSystemClock();
  ~TSystemClock() override;

  std::unique_ptr<QTimer> FWake;
};
