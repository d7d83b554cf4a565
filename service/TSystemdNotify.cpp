#include "TSystemdNotify.h"

#include <systemd/sd-daemon.h>

namespace SystemdNotify {

namespace {

// A status line is the service's own text; it may not carry a line break.
std::string OneLine(const std::string& AText) {
  std::string Line;
  for (const char C : AText) Line += (C == '\n' || C == '\r') ? ' ' : C;
  return Line;
}

}  // namespace

void Ready(const std::string& AStatus) {
  sd_notify(0, ("READY=1\nSTATUS=" + OneLine(AStatus)).c_str());
}

void Status(const std::string& AStatus) { sd_notify(0, ("STATUS=" + OneLine(AStatus)).c_str()); }

void Stopping() { sd_notify(0, "STOPPING=1"); }

void Reloading() { sd_notify(0, "RELOADING=1"); }

void WatchdogPing() { sd_notify(0, "WATCHDOG=1"); }

uint64_t WatchdogMilliseconds() {
  uint64_t Microseconds = 0;
  if (sd_watchdog_enabled(0, &Microseconds) <= 0) return 0;
  return Microseconds / 1000;
}

}  // namespace SystemdNotify
