#include "SimClock.h"

#include <windows.h>

namespace dravik::ras {

int64_t SimNowNs() {
  // Milliseconds since the system started, counting on while it sleeps, the
  // same in every process.
  return static_cast<int64_t>(GetTickCount64()) * 1000000;
}

const std::string& SimBootId() {
  // The moment the system started, to the minute: the same in every process
  // of one boot. Never destroyed, as elsewhere.
  static const std::string& Id = *new std::string([] {
    FILETIME Now{};
    GetSystemTimeAsFileTime(&Now);
    const uint64_t NowTicks = (static_cast<uint64_t>(Now.dwHighDateTime) << 32) | Now.dwLowDateTime;
    const uint64_t UpTicks = GetTickCount64() * 10000;
    const uint64_t BootMinute = (NowTicks - UpTicks) / (60ull * 10000000ull);
    return "boot-" + std::to_string(BootMinute);
  }());
  return Id;
}

}  // namespace dravik::ras
