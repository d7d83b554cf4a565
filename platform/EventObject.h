#pragma once

// The event objects behind the platform's event handles on Linux: an eventfd
// that is readable while the event is set, and a count of the holders of the
// handle. The program creates them and the dial-up library signals them, so
// this code is compiled into both; the object itself carries all its state.
// The descriptor is closed only when the last holder lets go, so a handle the
// library still holds never names another open file.

#ifndef _WIN32

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace dravik {

struct TEventObject {
  // Distinguishes a handle of ours from any other pointer passed in.
  static constexpr uint32_t Mark = 0x45564e54;  // "EVNT"

  uint32_t Tag = Mark;
  std::atomic<int> Holders{1};
  int Fd = -1;
  bool ManualReset = false;

  static TEventObject* FromHandle(void* AHandle) {
    auto* Object = static_cast<TEventObject*>(AHandle);
    return Object != nullptr && Object->Tag == Mark ? Object : nullptr;
  }

  void Hold() { Holders.fetch_add(1, std::memory_order_relaxed); }

  // The caller must not use the object after letting go of it.
  void Release() {
    if (Holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    close(Fd);
    Tag = 0;
    delete this;
  }

  // Whether a holder other than the caller is left.
  bool HeldElsewhere() const { return Holders.load(std::memory_order_acquire) > 1; }

  void Set() {
    const uint64_t One = 1;
    // A full counter means the event is set already.
    while (write(Fd, &One, sizeof One) < 0 && errno == EINTR) {
    }
  }

  void Reset() {
    uint64_t Count = 0;
    while (read(Fd, &Count, sizeof Count) > 0 || errno == EINTR) {
    }
  }

  // Takes the set state for one waiter of an auto-reset event; false when
  // another waiter took it first.
  bool Take() {
    if (ManualReset) return true;
    uint64_t Count = 0;
    for (;;) {
      if (read(Fd, &Count, sizeof Count) == sizeof Count) return true;
      if (errno != EINTR) return false;
    }
  }
};

}  // namespace dravik

#endif
