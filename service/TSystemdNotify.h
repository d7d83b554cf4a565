#pragma once

// Tells systemd how the service is doing (Type=notify): ready, status text,
// watchdog pings, stopping. Without systemd these do nothing.

#include <cstdint>
#include <string>

namespace SystemdNotify {

void Ready(const std::string& AStatus);
void Status(const std::string& AStatus);
void Stopping();
// The service is reloading; the next Ready ends it.
void Reloading();
void WatchdogPing();
// The watchdog's interval in milliseconds, or 0 when it is off.
uint64_t WatchdogMilliseconds();

}  // namespace SystemdNotify
