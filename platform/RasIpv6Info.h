#pragma once

#include <string>

#include "Ras.h"

// The IPv6 facts of a connected line, as our dial-up library tells them
// beside the IPv4 projection: its global IPv6 address and its IPv6 prefix
// (ADDRESS/LENGTH), each empty when the line has none or the provider does
// not know it. False when the library cannot tell (a library without the
// call, a provider that does not know, a line not connected).
bool RasIpv6Info(HRASCONN AConnection, std::string& AAddress, std::string& APrefix);
