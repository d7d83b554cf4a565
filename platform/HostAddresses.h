#pragma once

// What the host queries of the socket layer read from the system, kept apart
// from the socket layer's own header since it needs the system's resolver
// header, whose names clash with the platform's.

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::platform {

// The host's name; false when it cannot be read.
bool SystemHostName(std::string& AName);

// IPv4 addresses in network byte order: those of the interfaces that are up
// and not loopback, in the system's order.
std::vector<uint32_t> InterfaceAddresses();

// The resolver's IPv4 addresses for a name, without repeats.
std::vector<uint32_t> ResolvedAddresses(const std::string& AName);

}  // namespace dravik::platform
